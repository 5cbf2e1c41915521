// The measurement notes line: which rows' takes failed or may mislead, and
// why, in one line the user reads after a sweep.
#pragma once

#include <span>
#include <string>

namespace qelvar::construct {

// whyOfRow[r - 1] is what went wrong with row r's take ("" when it was
// good). Rows that share a reason are named together, consecutive rows as
// a range, the reasons in the order of their first row:
//   "Rows 1-4, 7: nothing came back from the input; check the input device"
// and with several reasons each ends in a full stop:
//   "Rows 1-4, 7: <why>. Row 9: <why>."
// "" when no row has a reason.
std::string takeNotes(std::span<const std::string> whyOfRow);

} // namespace qelvar::construct

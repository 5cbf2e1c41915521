// The notes line on the takes of a sweep.
#include "construct/measure/take_notes.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace qelvar::construct;

namespace {

// Rows 1..20 with the given reasons, the others good.
std::string notesOf(const std::map<int, std::string>& why) {
    std::vector<std::string> rows(20);
    for (const auto& [r, text] : why)
        rows[static_cast<std::size_t>(r - 1)] = text;
    return takeNotes(rows);
}

TEST(TakeNotes, RowsGroupedByReasonWithRanges) {
    const std::string a = "nothing came back from the input; check the input device";
    const std::string b = "the recording was not saved";
    const struct {
        std::map<int, std::string> why;
        std::string line;
    } cases[] = {
        {{}, ""},
        {{{9, b}}, "Row 9: " + b},
        {{{1, a}, {2, a}, {3, a}, {4, a}, {7, a}}, "Rows 1-4, 7: " + a},
        {{{5, a}, {6, a}}, "Rows 5-6: " + a},
        {{{1, a}, {3, a}, {20, a}}, "Rows 1, 3, 20: " + a},
        // Several reasons: each group ends in a full stop, in the order of
        // its first row, whatever order the runs interleave in.
        {{{2, b}, {3, a}, {4, b}, {5, b}, {19, a}, {20, a}},
         "Rows 2, 4-5: " + b + ". Rows 3, 19-20: " + a + "."},
        // A reason that brings its own full stop gets no second one.
        {{{8, "input clipped."}}, "Row 8: input clipped"},
        {{{8, "input clipped."}, {9, b}}, "Row 8: input clipped. Row 9: " + b + "."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(notesOf(c.why), c.line);
}

} // namespace

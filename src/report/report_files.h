// The report's three files: report.json (every figure with its unit,
// warnings and limits, and the conditions), report.csv (the sweep) and
// report.pdf (one page for people).
#pragma once

#include "report/report.h"

#include <string>

namespace qelvar::report {

std::string jsonText(const Report& r);
std::string csvText(const Report& r);
// Writes the PDF; false when it could not be written.
bool writePdf(const Report& r, const std::string& path);

// Writes all three into `dir` (made if missing); on a fault, false and
// `error` names the file.
bool writeReport(const Report& r, const std::string& dir, std::string& error);

} // namespace qelvar::report

// A limits file: the lowest and highest value each figure may have, and a
// band the response must stay in, for testing units on a production line.
//
//     # figure              lowest   highest
//     thdn_1k_left_db       -        -80
//     noise_a_left_dbfs     -        -85
//     response_db           -1       0.5
//
// One figure a line, "-" where there is no bound; "#" starts a comment.
// `response_db` bounds every sweep step of both channels, taken relative
// to the 1 kHz step; two more numbers hold it between two frequencies
// only (`response_db -0.5 0.5 20 20000`). A name that is no figure of the
// report is an error, so a misspelt line can never pass a unit unchecked.
#pragma once

#include "report/report.h"

#include <optional>
#include <string>
#include <vector>

namespace qelvar::report {

struct Limit {
    std::string key;
    std::optional<double> lowest, highest;
    double fromHz = 0, toHz = 0; // response_db's band (0 and 0: the whole sweep)
};

struct Limits {
    std::vector<Limit> limits;
};

inline constexpr const char* kResponseKey = "response_db";

// Reads a limits file's text; on a fault, nullopt and `error` says which
// line and why.
std::optional<Limits> parseLimits(const std::string& text, std::string& error);

// Marks each figure and sweep row against the limits and sets
// report.passed. A key the report does not have is an error (false).
bool applyLimits(const Limits& limits, Report& report, std::string& error);

} // namespace qelvar::report

// The shown sweep as comma-separated values, for a spreadsheet or a
// plotting tool: a header line, then one line a drawn step.
#include "graph/graph_model.h"

#include <charconv>

namespace qelvar::graph {
namespace {

// Shortest text that reads back as the same float, whatever the locale.
std::string number(float x) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

} // namespace

std::string GraphModel::csvText() const {
    std::string out = "frequency_hz,left_db,right_db\r\n";
    for (int i = 1; i <= kSteps; ++i) {
        float x = 0;
        // The steps the graph draws: included, and on the frequency axis.
        if (rowflag[i] != 1 || !frequencyX(freq[i], x))
            continue;
        out += number(freq[i]) + ',' + (prefs.chanL == 1 ? number(levelL[i]) : "") + ',' +
               (prefs.chanR == 1 ? number(levelR[i]) : "") + "\r\n";
    }
    return out;
}

} // namespace qelvar::graph

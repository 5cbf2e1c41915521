// The graph data file "wavgraphdata" that VIEW GRAPH writes for the graph
// form: per row, the two readings as shown, the frequency and the include
// flag.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qelvar::construct {

struct GraphRow {
    std::string leftBox;  // the LEFT box's text as shown ("" counts 0)
    std::string rightBox; // the RIGHT box's text
    std::int32_t frequency = 0;
    std::int16_t include = 0;
};

// 80 lines: for rows 1..20, left, right, frequency, include, in the "write"
// form (".5", "-1.02", "20"), CR LF ended. rows[r - 1] is row r; missing
// rows are written as zeros, rows beyond 20 are not written.
std::string graphDataText(std::span<const GraphRow> rows);

// Replaces the file atomically; false when it could not be written.
bool writeGraphData(const std::string& path, std::span<const GraphRow> rows);

} // namespace qelvar::construct

#include "construct/measure/graphdata.h"

#include "common/files.h"
#include "construct/measure/measure.h"
#include "formats/textfile.h"

namespace qelvar::construct {

namespace {
constexpr std::size_t kGraphRows = 20;
}

std::string graphDataText(std::span<const GraphRow> rows) {
    TextValueWriter w;
    for (std::size_t i = 0; i < kGraphRows; ++i) {
        GraphRow row = i < rows.size() ? rows[i] : GraphRow{};
        w.number(boxValue(row.leftBox));
        w.number(boxValue(row.rightBox));
        w.integer(row.frequency);
        w.integer(row.include);
    }
    return w.contents();
}

bool writeGraphData(const std::string& path, std::span<const GraphRow> rows) {
    return replaceFile(path, graphDataText(rows), false);
}

} // namespace qelvar::construct

// The graph data file written by the construction page, and the sweep
// data files of File Load and Save.
#include "graph/graph_model.h"

#include "common/files.h"
#include "common/numbers.h"
#include "formats/textfile.h"

namespace qelvar::graph {

namespace {
// Both files are a few hundred bytes; anything beyond this is not ours.
constexpr std::size_t kMaxFileBytes = 1024 * 1024;
} // namespace

void GraphModel::readGraphData(const std::string& path) {
    auto contents = readWholeFile(path, kMaxFileBytes);
    if (!contents)
        return;
    TextValueReader in(*contents);
    for (std::size_t i = 1; i <= kSteps && !in.atEnd(); ++i) {
        in.readFloat(levelL[i]);
        in.readFloat(levelR[i]);
        in.readFloat(freq[i]);
        in.readInt16(rowflag[i]);
    }
}

void GraphModel::LoadFile1(const std::string& fName) {
    if (auto contents = readWholeFile(fName, kMaxFileBytes)) {
        TextValueReader in(*contents);
        for (std::size_t i = 1; i <= kSteps && !in.atEnd(); ++i) {
            in.readFloat(levelL[i]);
            in.readFloat(levelR[i]);
            in.readFloat(freq[i]);
        }
    }
    // Drawn over what is shown, so saved sweeps can be compared.
    scaleme();
    graphdata();
}

std::string GraphModel::sweepFileText() const {
    TextValueWriter out;
    for (std::size_t i = 1; i <= kSteps; ++i) {
        out.plain(floatForm(levelL[i]));
        out.plain(floatForm(levelR[i]));
        out.plain(floatForm(freq[i]));
    }
    return out.contents();
}

bool GraphModel::SaveFile1(const std::string& fName) const {
    return replaceFile(fName, sweepFileText(), true);
}

std::string dialogErrorText(int number, const std::string& description) {
    return "Error" + strForm(number) + " selecting file.\r\n" + description;
}

} // namespace qelvar::graph

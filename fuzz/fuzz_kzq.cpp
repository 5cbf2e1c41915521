// A sweep data file of File Load, drawn over a dataset already shown, and
// written back as File Save would.
#include "graph/graph_model.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>

using namespace qelvar::graph;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("sweep.kzq", data, size);
    GraphModel m;
    for (std::size_t i = 1; i <= GraphModel::kSteps; ++i) {
        m.rowflag[i] = 1;
        m.freq[i] = static_cast<float>(i * 1000);
    }
    m.scaleme();
    m.graphdata();
    m.LoadFile1(path);
    (void)m.pemprint();
    (void)m.sweepFileText();
    return 0;
}

// The graph data file written by the construction page, then the grid and
// the curves drawn from it, on screen and on the printed page.
#include "graph/graph_model.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>

using namespace qelvar::graph;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("wavgraphdata", data, size);
    GraphModel m;
    m.readGraphData(path);
    m.scaleme();
    m.graphdata();
    (void)m.pemprint();
    (void)m.sweepFileText();
    return 0;
}

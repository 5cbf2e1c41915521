// A private HOME (and so a private data directory) for each test, and
// small helpers to write the files the graph form reads.
#pragma once

#include "common/files.h"
#include "graph/graph_model.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace qelvar::graph::test {

struct TempHome {
    std::filesystem::path path;
    std::string old;
    bool hadOld = false;
    TempHome() {
        std::string t = (std::filesystem::temp_directory_path() / "qelvar-graph-XXXXXX").string();
        path = ::mkdtemp(t.data());
        if (const char* h = std::getenv("HOME"))
            old = h, hadOld = true;
        ::setenv("HOME", path.c_str(), 1);
        ensureDataDir();
    }
    ~TempHome() {
        if (hadOld)
            ::setenv("HOME", old.c_str(), 1);
        std::filesystem::remove_all(path);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
};

inline void writeText(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace qelvar::graph::test

namespace qelvar::graph {
inline void PrintTo(const GraphLine& l, std::ostream* os) {
    *os << "(" << l.x1 << "," << l.y1 << ")-(" << l.x2 << "," << l.y2 << ") w" << l.width << " #"
        << std::hex << l.rgb << std::dec;
}
} // namespace qelvar::graph

// A private HOME (and so data directory) per test, file helpers, and the
// open graph window the window tests share.
#pragma once

#include "common/files.h"
#include "graph/graph_model.h"
#include "graph/graph_window.h"

#include <QApplication>
#include <QPointer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace qelvar::graph::test {

struct TempHome {
    std::filesystem::path path;
    std::string old = std::getenv("HOME") ? std::getenv("HOME") : "";
    TempHome() {
        std::string t = (std::filesystem::temp_directory_path() / "qelvar-graph-XXXXXX").string();
        path = ::mkdtemp(t.data());
        ::setenv("HOME", path.c_str(), 1);
        ensureDataDir();
    }
    ~TempHome() {
        ::setenv("HOME", old.c_str(), 1);
        std::filesystem::remove_all(path);
    }
};

inline void writeText(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// -10.5 dB lies at y = 105, between two grid lines.
inline const char* kMeasured = "-10.5\r\n-10.5\r\n100\r\n1\r\n"
                               "-10.5\r\n-10.5\r\n1000\r\n1\r\n"
                               "-10.5\r\n-20\r\n10000\r\n1\r\n";

// A graph window shown on kMeasured (and a preference file, if given).
struct OpenGraph {
    TempHome home;
    QPointer<GraphWindow> w;
    explicit OpenGraph(const char* prefs = nullptr) {
        writeText(dataPath("wavgraphdata"), kMeasured);
        if (prefs)
            writeText(dataPath("wavgraphsetup"), prefs);
        w = new GraphWindow;
        w->show();
    }
    ~OpenGraph() { close(); }
    void close() {
        if (w)
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
};

} // namespace qelvar::graph::test

namespace qelvar::graph {
inline void PrintTo(const GraphLine& l, std::ostream* os) {
    *os << "(" << l.x1 << "," << l.y1 << ")-(" << l.x2 << "," << l.y2 << ") w" << l.width << " #"
        << std::hex << l.rgb << std::dec;
}
} // namespace qelvar::graph

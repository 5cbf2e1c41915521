// A private HOME per test and the open graph window the window tests share.
#pragma once

#include "common/files.h"
#include "graph/graph_model.h"
#include "graph/graph_window.h"
#include "support/files.h"

#include <QApplication>
#include <QPointer>

#include <ostream>

namespace qelvar::graph::test {

using namespace qelvar::test;

struct TempHome : TempDir {
    TempHome() : TempDir(true) { ensureDataDir(); }
};

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

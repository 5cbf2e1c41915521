// A private HOME per test and the open graph window the window tests share.
#pragma once

#include "common/files.h"
#include "graph/graph_model.h"
#include "graph/graph_window.h"
#include "support/files.h"

#include <QApplication>
#include <QPointer>

#include <ostream>
#include <sstream>

namespace qelvar::graph::test {

using namespace qelvar::test;

struct TempHome : TempDir {
    TempHome() : TempDir(true) { ensureDataDir(); }
};

// The words of `text`, one a CR LF line: the form of every file here.
inline std::string crlf(const std::string& text) {
    std::string out, word;
    for (std::istringstream in(text); in >> word;)
        out += word + "\r\n";
    return out;
}

// Steps of left, right, frequency and flag; -10.5 dB lies at y = 105,
// between two grid lines.
inline const char* kMeasured = "-10.5 -10.5 100 1  -10.5 -10.5 1000 1  -10.5 -20 10000 1";

// A graph window shown on these steps.
struct OpenGraph {
    TempHome home;
    QPointer<GraphWindow> w;
    explicit OpenGraph(const char* steps = kMeasured) {
        writeText(dataPath("wavgraphdata"), crlf(steps));
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

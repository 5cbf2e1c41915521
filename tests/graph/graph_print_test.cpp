// The printed plot painted on an image, and the PDF written when the
// machine has no printer.
#include "graph/graph_print.h"
#include "graph/graph_window.h"
#include "graph_test_util.h"

#include <QAction>
#include <QApplication>
#include <QPointer>

#include <gtest/gtest.h>

using namespace qelvar;
using namespace qelvar::graph;
using test::readText;
using test::TempHome;
using test::writeText;

namespace {

const char* kMeasured = "-10.5\r\n-10.5\r\n100\r\n1\r\n"
                        "-10.5\r\n-10.5\r\n1000\r\n1\r\n"
                        "-10.5\r\n-20\r\n10000\r\n1\r\n";

bool dark(QRgb c) {
    return qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool white(QRgb c) {
    return c == qRgb(255, 255, 255);
}

// A 1100 x 800 pixel page at 96 dots an inch is 16500 x 12000 twips, so
// 30440.25 x 678.97 graph units centred on (9500, 210): x = 1 is column
// 206.7 and y = 105 row 276.3; x = 15000 is column 748.7.
QImage printed(GraphModel& m) {
    QImage page(1100, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    paintPemprint(p, QRectF(0, 0, 1100, 800), 96, 96, m.pemprint());
    return page;
}

} // namespace

TEST(GraphPrintPage, PlotAtScreenSizeCentredAndBlack) {
    TempHome home;
    writeText(dataPath("wavgraphdata"), kMeasured);
    GraphModel m;
    m.loadForm(); // Red Blue by default: the page is still black
    QImage page = printed(m);
    // The heavy 10 Hz line: two columns, 206 and 207.
    EXPECT_TRUE(dark(page.pixel(206, 300)));
    EXPECT_TRUE(dark(page.pixel(207, 300)));
    EXPECT_TRUE(white(page.pixel(204, 300)));
    // The left curve between 1 kHz and 10 kHz, rows 275 and 276, black.
    EXPECT_EQ(page.pixel(748, 276), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(748, 275), qRgb(0, 0, 0));
    EXPECT_TRUE(white(page.pixel(748, 273)));
    // No colour anywhere.
    for (int y = 0; y < page.height(); y += 3)
        for (int x = 0; x < page.width(); x += 3) {
            QRgb c = page.pixel(x, y);
            ASSERT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << x << "," << y;
        }
    // Something is printed left of the plot (the dB labels at x = -1000,
    // column 170.6) and above it (the title at x = 5800, y = -20: column
    // 416.3, row 129).
    auto inked = [&](QRect r) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (dark(page.pixel(x, y)))
                    return true;
        return false;
    };
    EXPECT_TRUE(inked(QRect(170, 194, 30, 14)));  // "-4" at y = 35, row 193.8
    EXPECT_TRUE(inked(QRect(416, 129, 300, 14))); // the title
    EXPECT_FALSE(inked(QRect(0, 0, 165, 800)));   // nothing further left
}

TEST(GraphPrintPage, LeftOnlyPrintsOneCurve) {
    TempHome home;
    writeText(dataPath("wavgraphdata"), kMeasured);
    writeText(dataPath("wavgraphsetup"), "2\r\n2\r\n40\r\n0\r\n1\r\n0\r\n");
    GraphModel m;
    m.loadForm();
    // The right curve would slope from row 276 down to row 388 across
    // 1 kHz .. 10 kHz: column 748 holds no more ink than the grid.
    auto inkBelowLeftCurve = [&] {
        QImage page = printed(m);
        EXPECT_EQ(page.pixel(748, 276), qRgb(0, 0, 0));
        int n = 0;
        for (int y = 285; y < 400; ++y)
            n += dark(page.pixel(748, y)) ? 1 : 0;
        return n;
    };
    const int leftOnly = inkBelowLeftCurve();
    m.choose(*findOption("LandR"));
    EXPECT_GT(inkBelowLeftCurve(), leftOnly);
}

TEST(GraphPrintPage, WindowImageAtItsScreenSize) {
    QImage shot(100, 50, QImage::Format_RGB32);
    shot.fill(Qt::red);
    QImage page(800, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    paintWindowImage(p, QRectF(0, 0, 800, 600), 192, 192, shot, 96);
    p.end();
    EXPECT_EQ(page.pixel(199, 99), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(201, 50), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(50, 101), qRgb(255, 255, 255));
}

TEST(GraphPrintPage, PdfInTheDataDirectory) {
    TempHome home;
    const QString status =
        printPage("plot-test.pdf", true, [](QPainter& p, const QRectF& r, double, double) {
            p.drawLine(r.topLeft(), r.bottomRight());
        });
    EXPECT_TRUE(status.contains("plot-test.pdf"));
    EXPECT_EQ(readText(dataPath("plot-test.pdf")).substr(0, 5), "%PDF-");
}

TEST(GraphPrintPage, MenuWritesPdfWithoutPrinter) {
    if (!noPrinter())
        GTEST_SKIP() << "this machine has a printer";
    TempHome home;
    writeText(dataPath("wavgraphdata"), kMeasured);
    QPointer<GraphWindow> w = new GraphWindow;
    w->show();
    w->action("plottoprint")->trigger();
    EXPECT_TRUE(w->statusText().contains("graphplot.pdf"));
    EXPECT_EQ(readText(dataPath("graphplot.pdf")).substr(0, 5), "%PDF-");
    w->action("printscreen")->trigger();
    EXPECT_TRUE(w->statusText().contains("graphscreen.pdf"));
    EXPECT_GT(readText(dataPath("graphscreen.pdf")).size(), 1000u);
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

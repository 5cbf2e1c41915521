// The graph window offscreen: check marks, the retained image, printing
// and the file dialog.
#include "graph/graph_paint.h"
#include "graph/graph_print.h"
#include "graph/graph_window.h"
#include "graph_test_util.h"
#include "ui/registry.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace qelvar;
using namespace qelvar::graph;
using test::readText;
using test::TempHome;
using test::writeText;

namespace {

// -10.5 dB lies at y = 105, between two grid lines.
const char* kMeasured = "-10.5\r\n-10.5\r\n100\r\n1\r\n"
                        "-10.5\r\n-10.5\r\n1000\r\n1\r\n"
                        "-10.5\r\n-20\r\n10000\r\n1\r\n";

// Screen pixels worked by hand for 795 x 542 pixels over x -1500..20500,
// y -20..440: y = 105 is row 147.3, a 2-pixel bar on rows 146 and 147;
// x = 9000 (100 Hz .. 1 kHz) is column 379, x = 15000 column 596.
const QPoint kLowStretch(379, 147), kHighStretch(596, 147);

bool checked(GraphWindow& w, const char* name) {
    return w.action(name)->isChecked();
}

QString labelText(const char* name) {
    auto* l = qobject_cast<QLabel*>(ui::Registry::instance().control("graph", name));
    return l ? l->text() : QStringLiteral("<missing>");
}

void closeAndSettle(GraphWindow* w) {
    if (w)
        w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

} // namespace

TEST(GraphWindow, OpensWithThePlotAndItsCheckMarks) {
    TempHome home;
    writeText(dataPath("wavgraphdata"), kMeasured);
    writeText(dataPath("wavgraphsetup"), "1\r\n1\r\n120\r\n-40\r\n0\r\n1\r\n");
    QPointer<GraphWindow> w = new GraphWindow;
    w->show();
    EXPECT_EQ(ui::Registry::instance().window("graph"), w.data());
    for (const char* on : {"Normal", "Mono", "range120", "refneg40", "Ronly"})
        EXPECT_TRUE(checked(*w, on)) << on;
    for (const char* off : {"Wide", "Redblue", "range40", "ref0", "LandR", "Lonly"})
        EXPECT_FALSE(checked(*w, off)) << off;
    EXPECT_EQ(labelText("Label1(1)"), "-55");
    EXPECT_EQ(labelText("Label1(9)"), "");
    EXPECT_EQ(labelText("Label4"), "Hertz");
    EXPECT_EQ(w->findChild<QLineEdit*>("Text1")->text(),
              "Frequency Response Graph Using PC Soundcard");
    closeAndSettle(w);
}

TEST(GraphWindow, MenusMoveTheCheckMarksAndRedraw) {
    TempHome home;
    writeText(dataPath("wavgraphdata"), kMeasured);
    QPointer<GraphWindow> w = new GraphWindow;
    w->show();
    // Left (blue) is drawn first, right (red) over it.
    EXPECT_EQ(w->image().pixel(kLowStretch), qRgb(255, 0, 0));
    EXPECT_EQ(w->image().pixel(kHighStretch), qRgb(0, 0, 255));
    EXPECT_EQ(w->image().pixel(kHighStretch + QPoint(0, 2)), qRgb(255, 255, 255));
    w->action("Lonly")->trigger();
    EXPECT_EQ(w->image().pixel(kLowStretch), qRgb(0, 0, 255));
    w->action("LandR")->trigger();
    w->action("Mono")->trigger();
    EXPECT_EQ(w->image().pixel(kLowStretch), qRgb(0, 0, 0));
    EXPECT_TRUE(checked(*w, "Mono"));
    EXPECT_FALSE(checked(*w, "Redblue"));
    w->action("Mono")->trigger(); // choosing it again keeps the mark
    EXPECT_TRUE(checked(*w, "Mono"));
    w->action("range20")->trigger();
    EXPECT_TRUE(checked(*w, "range20"));
    EXPECT_FALSE(checked(*w, "range40"));
    EXPECT_EQ(labelText("Label1(1)"), "-2.5");
    w->action("Lonly")->trigger();
    EXPECT_TRUE(checked(*w, "Lonly"));
    EXPECT_FALSE(checked(*w, "LandR"));
    w->action("range40")->trigger();
    w->action("Clear")->trigger();
    EXPECT_EQ(w->image().pixel(kLowStretch), qRgb(255, 255, 255));
    closeAndSettle(w);
    EXPECT_TRUE(w.isNull());                                          // deleted on close
    EXPECT_FALSE(std::filesystem::exists(dataPath("wavgraphsetup"))); // close box saves nothing
}

TEST(GraphWindow, ExitWritesThePreferences) {
    TempHome home;
    QPointer<GraphWindow> w = new GraphWindow;
    w->show();
    w->action("Ronly")->trigger();
    w->action("ref20")->trigger();
    w->action("Exit")->trigger();
    closeAndSettle(nullptr);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(readText(dataPath("wavgraphsetup")), "2\r\n2\r\n40\r\n20\r\n0\r\n1\r\n");
}

TEST(GraphWindow, Screenshot) {
    const QByteArray out = qgetenv("GRAPH_SHOT");
    if (out.isEmpty())
        GTEST_SKIP() << "set GRAPH_SHOT=file.png to keep a picture";
    TempHome home;
    std::string data;
    const char* rows[][3] = {
        {"-3.1", "-3.4", "20"},    {"-1.2", "-1.3", "50"},   {"-.4", "-.5", "100"},
        {"-.1", "-.2", "200"},     {"0", "-.1", "500"},      {"0", "0", "1000"},
        {"-.1", "0", "2000"},      {"-.3", "-.2", "5000"},   {"-.9", "-1.1", "10000"},
        {"-2.6", "-3.2", "15000"}, {"-6.5", "-7.7", "20000"}};
    for (auto& r : rows)
        data += std::string(r[0]) + "\r\n" + r[1] + "\r\n" + r[2] + "\r\n1\r\n";
    writeText(dataPath("wavgraphdata"), data);
    writeText(dataPath("wavgraphsetup"), qgetenv("GRAPH_PREFS").toStdString());
    QPointer<GraphWindow> w = new GraphWindow;
    w->show();
    QApplication::processEvents();
    const QImage img = w->grab().toImage();
    img.save(QString::fromUtf8(out));
    // GRAPH_ZOOM=x,y,w,h keeps a 4x enlargement of that part beside it.
    const QList<QByteArray> z = qgetenv("GRAPH_ZOOM").split(',');
    if (z.size() == 4)
        img.copy(z[0].toInt(), z[1].toInt(), z[2].toInt(), z[3].toInt())
            .scaled(4 * z[2].toInt(), 4 * z[3].toInt())
            .save(QString::fromUtf8(out) + ".zoom.png");
    closeAndSettle(w);
}

// The graph window offscreen: check marks, the retained image, the file
// dialog as script mode answers it, and printing without a printer.
#include "graph/graph_print.h"
#include "graph_test_util.h"
#include "ui/registry.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

using namespace qelvar;
using namespace qelvar::graph;
using namespace qelvar::graph::test;

namespace {

// 795 x 542 pixels over x -1500..20500, y -20..440: y = 105 is row 147;
// x = 9000 (100 Hz .. 1 kHz) is column 379, x = 15000 column 596.
const QPoint kLowStretch(379, 147), kHighStretch(596, 147);

QString labelText(const char* name) {
    auto* l = qobject_cast<QLabel*>(ui::Registry::instance().control("graph", name));
    return l ? l->text() : QStringLiteral("<missing>");
}

} // namespace

TEST(GraphWindow, OpensWithThePlotAndItsCheckMarks) {
    OpenGraph g("1\r\n1\r\n120\r\n-40\r\n0\r\n1\r\n");
    for (const char* on : {"Normal", "Mono", "range120", "refneg40", "Ronly"})
        EXPECT_TRUE(g.w->action(on)->isChecked()) << on;
    for (const char* off : {"Wide", "Redblue", "range40", "ref0", "LandR", "Lonly"})
        EXPECT_FALSE(g.w->action(off)->isChecked()) << off;
    EXPECT_EQ(labelText("Label1(1)"), "-55");
}

TEST(GraphWindow, ColoursChannelsAndTheCloseBox) {
    OpenGraph g;
    // Red Blue: left (blue) first, right (red) over it.
    EXPECT_EQ(g.w->image().pixel(kLowStretch), qRgb(255, 0, 0));
    EXPECT_EQ(g.w->image().pixel(kHighStretch), qRgb(0, 0, 255));
    g.w->action("Lonly")->trigger();
    EXPECT_EQ(g.w->image().pixel(kLowStretch), qRgb(0, 0, 255));
    g.w->action("LandR")->trigger();
    g.w->action("Mono")->trigger();
    EXPECT_EQ(g.w->image().pixel(kLowStretch), qRgb(0, 0, 0));
    EXPECT_EQ(g.w->image().pixel(kHighStretch), qRgb(0, 0, 0));
    EXPECT_FALSE(g.w->action("Redblue")->isChecked());
    g.close();
    EXPECT_TRUE(g.w.isNull());
    EXPECT_FALSE(std::filesystem::exists(dataPath("wavgraphsetup"))); // close box saves nothing
}

TEST(GraphWindow, ExitWritesThePreferences) {
    OpenGraph g;
    g.w->action("Ronly")->trigger();
    g.w->action("ref20")->trigger();
    g.w->action("Exit")->trigger();
    g.close();
    EXPECT_TRUE(g.w.isNull());
    EXPECT_EQ(readText(dataPath("wavgraphsetup")), "2\r\n2\r\n40\r\n20\r\n0\r\n1\r\n");
}

TEST(GraphDialog, SaveKeepsTheTypedNameAndCancelChangesNothing) {
    OpenGraph g;
    const auto surface = g.w->model().surface;
    const QImage before = g.w->image();
    for (const char* item : {"mnuFileOpen", "mnuSave"}) {
        ui::queueDialogAnswer("");
        g.w->action(item)->trigger();
    }
    EXPECT_EQ(g.w->model().surface, surface);
    EXPECT_EQ(g.w->image(), before);
    EXPECT_EQ(g.w->findChild<QMessageBox*>(), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataDir()), {}), 1);

    ui::queueDialogAnswer(QString::fromStdString(dataPath("mysweep")));
    g.w->action("mnuSave")->trigger();
    EXPECT_FALSE(std::filesystem::exists(dataPath("mysweep.kzq")));
    EXPECT_EQ(readText(dataPath("mysweep")).substr(0, 22), "-10.5\r\n-10.5\r\n100\r\n-10");
}

TEST(GraphPrint, PdfWithoutAPrinter) {
    if (!noPrinter())
        GTEST_SKIP() << "this machine has a printer";
    OpenGraph g;
    g.w->action("plottoprint")->trigger();
    EXPECT_TRUE(g.w->statusText().contains("graphplot.pdf"));
    EXPECT_EQ(readText(dataPath("graphplot.pdf")).substr(0, 5), "%PDF-");
    g.w->action("printscreen")->trigger();
    EXPECT_GT(readText(dataPath("graphscreen.pdf")).size(), 1000u);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

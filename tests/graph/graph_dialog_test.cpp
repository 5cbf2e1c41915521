// Load and Save through the file dialog, answered the way script mode
// answers it.
#include "graph/graph_window.h"
#include "graph_test_util.h"
#include "ui/registry.h"

#include <QAction>
#include <QApplication>
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

const char* kMeasured = "-10.5\r\n-10.5\r\n100\r\n1\r\n"
                        "-10.5\r\n-10.5\r\n1000\r\n1\r\n"
                        "-10.5\r\n-20\r\n10000\r\n1\r\n";

struct OpenGraph {
    TempHome home;
    QPointer<GraphWindow> w;
    OpenGraph() {
        writeText(dataPath("wavgraphdata"), kMeasured);
        w = new GraphWindow;
        w->show();
    }
    ~OpenGraph() {
        if (w)
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void answer(const std::string& path) { ui::queueDialogAnswer(QString::fromStdString(path)); }
};

} // namespace

TEST(GraphDialog, SaveKeepsTheTypedNameAndIsRemembered) {
    OpenGraph g;
    EXPECT_EQ(g.w->model().dialogFile, dataPath("*.kzq"));
    g.answer(dataPath("mysweep"));
    g.w->action("mnuSave")->trigger();
    EXPECT_TRUE(std::filesystem::exists(dataPath("mysweep")));
    EXPECT_FALSE(std::filesystem::exists(dataPath("mysweep.kzq")));
    EXPECT_EQ(readText(dataPath("mysweep")).substr(0, 22), "-10.5\r\n-10.5\r\n100\r\n-10");
    EXPECT_EQ(g.w->model().dialogFile, dataPath("mysweep"));
}

TEST(GraphDialog, CancelChangesNothing) {
    OpenGraph g;
    const auto surface = g.w->model().surface;
    const QImage before = g.w->image();
    g.answer("");
    g.w->action("mnuFileOpen")->trigger();
    g.answer("");
    g.w->action("mnuSave")->trigger();
    EXPECT_EQ(g.w->model().surface, surface);
    EXPECT_EQ(g.w->image(), before);
    EXPECT_EQ(g.w->model().dialogFile, dataPath("*.kzq"));
    EXPECT_EQ(g.w->findChild<QMessageBox*>(), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataDir()), {}), 1);
}

TEST(GraphDialog, LoadOverlaysThenAnOptionShowsOnlyTheLoadedSweep) {
    OpenGraph g;
    std::string sweep;
    for (int i = 1; i <= 20; ++i)
        sweep += "-30\r\n-30\r\n" + std::to_string(i * 1000) + "\r\n";
    writeText(dataPath("other.kzq"), sweep);
    // Steps 1..3 stay flagged: the new curve runs 1 kHz .. 3 kHz. At
    // x = 13000 (column 524) row 147 carries the -10.5 dB curve and row
    // 377 the new -30 dB one (y = 300).
    const QPoint oldCurve(524, 147), newCurve(524, 377);
    g.answer(dataPath("other.kzq"));
    g.w->action("mnuFileOpen")->trigger();
    EXPECT_EQ(g.w->image().pixel(oldCurve), qRgb(0, 0, 255));
    EXPECT_EQ(g.w->image().pixel(newCurve), qRgb(255, 0, 0));
    g.w->action("Wide")->trigger();
    EXPECT_EQ(g.w->image().pixel(oldCurve), qRgb(255, 255, 255));
    EXPECT_EQ(g.w->image().pixel(newCurve), qRgb(255, 0, 0));
}

TEST(GraphDialog, FailedDialogShowsTheMessageAndTouchesNoFile) {
    OpenGraph g;
    g.answer(dataPath("saved"));
    g.w->action("mnuSave")->trigger();
    const std::string saved = readText(dataPath("saved"));
    g.w->action("Clear")->trigger();
    // A folder that does not exist: the save is refused, and the file
    // chosen before is not overwritten with the cleared levels.
    g.answer(dataPath("nofolder/x"));
    g.w->action("mnuSave")->trigger();
    auto* box = g.w->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Error 2 selecting file.\nNo such file or directory");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(readText(dataPath("saved")), saved);
    EXPECT_EQ(g.w->model().dialogFile, dataPath("saved"));
    box->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    g.answer(dataPath("missing.kzq"));
    g.w->action("mnuFileOpen")->trigger();
    EXPECT_NE(g.w->findChild<QMessageBox*>(), nullptr);
    EXPECT_EQ(g.w->model().levelL[1], 0); // still cleared
}

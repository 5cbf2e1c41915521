// The graph window offscreen: check marks, the image, closing, sizes, keys,
// the file dialog as script mode answers it, printing, a dark desktop.
#include "audio/fake_sound.h"
#include "graph/graph_print.h"
#include "graph_test_util.h"
#include "support/contrast.h"
#include "ui/file_dialogs.h"

#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QWindow>

#include <gtest/gtest.h>

using namespace qelvar;
using namespace qelvar::graph;
using namespace qelvar::graph::test;

namespace {

// 795 x 542 pixels over x -1500..20500, y -20..440: y = 105 is row 147;
// x = 9000 (100 Hz .. 1 kHz) is column 379, x = 15000 column 596.
const QPoint kLowStretch(379, 147), kHighStretch(596, 147);

} // namespace

TEST(GraphWindow, ColoursChannelsAndTheCloseBoxSavesAsExit) {
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
    // Exit and the window manager's close save alike.
    for (bool byExit : {true, false}) {
        OpenGraph e;
        e.w->action(byExit ? "Ronly" : "Mono")->trigger();
        e.w->action("ref20")->trigger();
        if (byExit)
            e.w->action("Exit")->trigger();
        else
            e.w->windowHandle()->close();
        e.close();
        EXPECT_TRUE(e.w.isNull());
        EXPECT_EQ(readText(dataPath("wavgraphsetup")),
                  crlf(byExit ? "2 2 40 20 0 1" : "2 1 40 20 1 1"));
    }
}

// -21 dB lies at y = 210, exactly on the boundary between pixel rows 270
// and 271 at the default size: a one-pixel line there covers half of each
// and is drawn on the lower row, the curve (x 9000, column 379) and the grid
// line beside it (column 600) alike.
TEST(GraphWindow, AOnePixelLineOnAPixelBoundaryTakesTheRowBelow) {
    OpenGraph g("-21 -10.5 100 1  -21 -10.5 1000 1");
    g.w->action("Normal")->trigger();
    const QImage im = g.w->image();
    auto rows = [&](int column) { // rows 270 to 272
        std::string out;
        for (int y = 270; y <= 272; ++y)
            out += QColor(im.pixel(column, y)).name().toStdString() + " ";
        return out;
    };
    EXPECT_EQ(rows(379), "#ffffff #0000ff #ffffff ");
    EXPECT_EQ(rows(600), "#ffffff #000000 #ffffff ");
}

TEST(GraphWindow, ACloseThatCannotSaveStaysOpenOnceUnlessTheSessionEnds) {
    OpenGraph g;
    std::filesystem::create_directory(dataPath("wavgraphsetup")); // cannot be replaced
    g.w->windowHandle()->close();
    ASSERT_TRUE(g.w);
    EXPECT_TRUE(g.w->isVisible());
    EXPECT_TRUE(g.w->statusText().contains("closing again closes without saving"));
    g.w->close();
    g.close();
    EXPECT_TRUE(g.w.isNull());
    // Exit keeps its own words; quitting never waits.
    OpenGraph e;
    std::filesystem::create_directory(dataPath("wavgraphsetup"));
    e.w->action("Exit")->trigger();
    ASSERT_TRUE(e.w);
    EXPECT_TRUE(e.w->statusText().endsWith("Exit again closes without saving"));
    OpenGraph q;
    std::filesystem::create_directory(dataPath("wavgraphsetup"));
    q.w->setClosingForQuit(true);
    q.w->close();
    q.close();
    EXPECT_TRUE(q.w.isNull());
}

TEST(GraphDialog, SaveGivesABareNameKzqAndCancelChangesNothing) {
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
    ui::queueDialogAnswer(QString::fromStdString(dataPath("test1")));
    g.w->action("mnuSave")->trigger();
    EXPECT_FALSE(std::filesystem::exists(dataPath("test1")));
    EXPECT_EQ(readText(dataPath("test1.kzq")).substr(0, 22), "-10.5\r\n-10.5\r\n100\r\n-10");
    EXPECT_EQ(g.w->statusText(), "Saved test1.kzq");
    ui::queueDialogAnswer(QString::fromStdString(dataPath("mysweep.txt")));
    g.w->action("mnuSave")->trigger();
    EXPECT_EQ(readText(dataPath("mysweep.txt")), readText(dataPath("test1.kzq")));
    EXPECT_FALSE(std::filesystem::exists(dataPath("mysweep.txt.kzq")));
}

// A printer chosen in the dialog; without one each printout is a new PDF.
TEST(GraphPrint, TheDialogChoosesOrEachPrintoutIsANewPdf) {
    OpenGraph g;
    const std::string out = dataPath("chosen.pdf");
    bool asked = false;
    setPrinterChooser([&](QPrinter&) { return asked = true, false; });
    g.w->action("plottoprint")->trigger();
    EXPECT_TRUE(asked);
    EXPECT_EQ(g.w->statusText(), "Printing cancelled: nothing was printed");
    setPrinterChooser([&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(out));
        return true;
    });
    g.w->action("plottoprint")->trigger();
    setPrinterChooser({});
    EXPECT_EQ(g.w->statusText(), "Printed on " + QString::fromStdString(out));
    EXPECT_EQ(readText(out).substr(0, 5), "%PDF-");
    EXPECT_FALSE(std::filesystem::exists(dataPath("graphplot.pdf")));
    if (!noPrinter())
        GTEST_SKIP() << "this machine has a printer";
    for (const char* name : {"graphplot.pdf", "graphplot-2.pdf"}) {
        g.w->action("plottoprint")->trigger();
        EXPECT_EQ(g.w->statusText(),
                  "No printer: written to " + QString::fromStdString(dataPath(name)));
        EXPECT_EQ(readText(dataPath(name)).substr(0, 5), "%PDF-") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dataPath("graphplot-3.pdf")));
    g.w->action("printscreen")->trigger();
    EXPECT_GT(readText(dataPath("graphscreen.pdf")).size(), 1000u);
}

TEST(GraphWindow, KeysAndNames) {
    OpenGraph g;
    for (auto [name, key] : {std::pair{"mnuSave", "Ctrl+S"},
                             {"mnuFileOpen", "Ctrl+O"},
                             {"plottoprint", "Ctrl+P"},
                             {"Exit", "Ctrl+Q"}})
        EXPECT_TRUE(g.w->action(name)->shortcuts().contains(QKeySequence(key))) << name;
    for (QAction* a : g.w->menuBar()->findChildren<QAction*>())
        EXPECT_TRUE(a->isSeparator() || a->text().isEmpty() || a->text().contains('&'))
            << a->text().toStdString();
    auto* canvas = g.w->centralWidget();
    EXPECT_EQ(canvas->accessibleName(), "Frequency response plot");
    EXPECT_TRUE(canvas->accessibleDescription().contains("top line at 0 dB"));
    for (auto* w : canvas->findChildren<QWidget*>())
        EXPECT_TRUE(!w->isVisible() || !w->accessibleName().isEmpty())
            << w->objectName().toStdString();
}

TEST(GraphWindow, ReadableOnADarkDesktopWithTheTitleOnThePlotsWhite) {
    qelvar::test::DarkDesktop dark;
    OpenGraph g;
    g.w->action("Clear")->trigger();
    ui::queueDialogAnswer("");
    g.w->action("mnuSave")->trigger();
    g.w->action("printscreen")->trigger(); // something on the status line
    QApplication::processEvents();
    const auto all = qelvar::test::textContrasts(g.w);
    EXPECT_GT(all.size(), 12u);
    for (const auto& t : all)
        EXPECT_GE(t.ratio, 3.0) << t.widget.toStdString() << " \"" << t.text.toStdString() << "\"";
    const QImage shot = g.w->findChild<QWidget*>("Text1")->grab().toImage();
    EXPECT_EQ(shot.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(shot.width() - 3, shot.height() - 3), qRgb(255, 255, 255));
}

TEST(GraphDialog, ExportCsvWritesTheDrawnStepsOfTheShownChannels) {
    // The step into 1000 Hz is left out (flag 0); 25000 Hz is off the axis.
    OpenGraph g("-1.25 -2.5 100 1  -3 -4 1000 0  -10.5 -20 10000 1  0 0 25000 1");
    ui::queueDialogAnswer(QString::fromStdString(dataPath("sweep")));
    g.w->action("mnuExportCsv")->trigger();
    EXPECT_EQ(readText(dataPath("sweep.csv")),
              "frequency_hz,left_db,right_db\r\n100,-1.25,-2.5\r\n10000,-10.5,-20\r\n");
    EXPECT_EQ(g.w->statusText(), "Exported sweep.csv");
    g.w->action("Ronly")->trigger();
    ui::queueDialogAnswer(QString::fromStdString(dataPath("right.csv")));
    g.w->action("mnuExportCsv")->trigger();
    EXPECT_EQ(readText(dataPath("right.csv")),
              "frequency_hz,left_db,right_db\r\n100,,-2.5\r\n10000,,-20\r\n");
}

TEST(GraphAnalysis, ThdNWithoutTakesAndAReportWithoutSoundSaySo) {
    OpenGraph g;
    g.w->action("mnuThdN")->trigger();
    EXPECT_EQ(g.w->statusText(), "No takes to read THD+N from: measure the sweep on the page");
    g.w->action("mnuThdN")->trigger();
    EXPECT_EQ(g.w->statusText(), "");
    ui::queueDialogAnswer(QString::fromStdString(dataPath("rep")));
    g.w->action("mnuReport")->trigger();
    EXPECT_EQ(g.w->statusText(), "No figures: No sound device found");
    EXPECT_NE(readText(dataPath("rep/report.json")).find("\"failure\": \"No sound device found\""),
              std::string::npos);
    EXPECT_TRUE(g.w->action("mnuReport")->isEnabled() ||
                (QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete),
                 g.w->action("mnuReport")->isEnabled()));
    // A tone or a sweep playing keeps the device: the run does not start.
    audio::FakeSound playing;
    playing.playing = true;
    audio::setServices(&playing);
    g.w->action("mnuReport")->trigger();
    audio::setServices(nullptr);
    EXPECT_EQ(g.w->statusText(), "Stop the sound first: the test needs the sound device to itself");
    EXPECT_TRUE(playing.calls.empty());
    // Check set-up: what the server said, and that nothing came back to judge,
    // in a window that stays beside the graph.
    audio::FakeSound muted;
    muted.ready = audio::Readiness::Failed;
    muted.setup = {{true, "the output \"loop\" is muted"}, {false, "the input is a monitor"}};
    audio::setServices(&muted);
    g.w->action("mnuCheckSetup")->trigger();
    audio::setServices(nullptr);
    EXPECT_EQ(g.w->statusText(), "Set-up checked: 1 warning");
    auto* box = g.w->findChild<QMessageBox*>("SetupCheck");
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_EQ(box->informativeText().toStdString(),
              "\u26a0 The output \"loop\" is muted.\n\n\u2139 The input is a monitor.\n\nThe "
              "check's tones could not be read: the sound device did not answer.");
}

// The page window: every control registered under its script name, hidden
// elements hidden, the clock following the model, VIEW GRAPH and OFF.
#include "construct/page_window.h"
#include "panel/sound/fake_sound.h"
#include "ui/registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>

namespace qelvar::construct {
namespace {

class PageWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "page_window_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }
    void SetUp() override {
        char tmpl[] = "/tmp/qelvar-pagewin-XXXXXX";
        home = mkdtemp(tmpl);
        setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home / "Qelvarfiles");
        window = new PageWindow(snd);
    }
    void TearDown() override {
        delete window.data();
        std::filesystem::remove_all(home);
    }
    QObject* control(const QString& name) { return ui::Registry::instance().control("page", name); }
    template <typename T> T* as(const QString& name) { return qobject_cast<T*>(control(name)); }
    void click(const QString& name) { as<QPushButton>(name)->click(); }

    std::filesystem::path home;
    sound::FakeSound snd;
    QPointer<PageWindow> window;
};

TEST_F(PageWindowTest, EveryControlIsRegistered) {
    QStringList names;
    auto array = [&](const QString& base, int from, int to) {
        for (int i = from; i <= to; ++i)
            names << QStringLiteral("%1(%2)").arg(base).arg(i);
    };
    array("Freq", 0, 21);
    array("AttL", 0, 21);
    array("AttR", 0, 24);
    array("Length", 0, 21);
    array("Include", 0, 24);
    array("Indicator", 0, 23);
    array("Build", 0, 20);
    array("Left", 1, 20);
    array("Right", 1, 20);
    names << "AutobuildAll"
          << "Play"
          << "Stop"
          << "Loop"
          << "Step"
          << "FullDuplex"
          << "UseCal"
          << "OffsetDb"
          << "SetCal"
          << "ViewGraph"
          << "Pulse"
          << "PasteToNotes"
          << "LOff"
          << "ROff"
          << "LOn"
          << "ROn"
          << "Help"
          << "Off"
          << "Offset"
          << "Scratchpad"
          << "Status"
          << "PlayLamp"
          << "LoopLamp"
          << "StepLamp"
          << "FullDuplexLamp"
          << "UseCalLamp"
          << "OffsetLamp"
          << "PulseLamp";
    for (int i = 20; i <= 30; ++i)
        names << QStringLiteral("Command%1").arg(i);
    for (int i = 18; i <= 27; ++i)
        names << QStringLiteral("Text%1").arg(i);
    EXPECT_EQ(ui::Registry::instance().window("page"), window.data());
    for (const QString& n : names)
        EXPECT_NE(control(n), nullptr) << n.toStdString();
    window->show();
    for (const char* n : {"Freq(21)", "AttR(20)", "AttR(24)", "Include(20)", "Include(24)",
                          "Indicator(20)", "Indicator(23)"})
        EXPECT_FALSE(qobject_cast<QWidget*>(control(n))->isVisible()) << n;
    for (const char* n : {"Freq(20)", "AttL(21)", "Length(21)", "Build(20)", "Indicator(19)"})
        EXPECT_TRUE(qobject_cast<QWidget*>(control(n))->isVisible()) << n;
}

TEST_F(PageWindowTest, ShowsTheOpenedTableAndTakesTypingIn) {
    EXPECT_EQ(as<QLineEdit>("Freq(0)")->text(), "20");
    EXPECT_EQ(as<QLineEdit>("Length(0)")->text(), "600");
    EXPECT_TRUE(as<QCheckBox>("Include(0)")->isChecked());
    EXPECT_EQ(control("PlayLamp")->property(ui::kColourProperty).toInt(), 0x808000);
    EXPECT_EQ(control("Indicator(0)")->property(ui::kColourProperty).toInt(), 0x008000);
    as<QLineEdit>("Freq(0)")->setText("440");
    click("Build(0)");
    EXPECT_EQ(window->model().table().frequency[1], 440);
    as<QPlainTextEdit>("Scratchpad")->setPlainText("a\nb");
    EXPECT_EQ(window->model().controls().scratchpad, "a\r\nb");
    click("PasteToNotes");
    EXPECT_TRUE(as<QPlainTextEdit>("Scratchpad")->toPlainText().startsWith("a\nb\n440  "));
}

TEST_F(PageWindowTest, TheClockFollowsTheModel) {
    click("Play");
    EXPECT_EQ(window->timerInterval(), 100);
    EXPECT_EQ(control("PlayLamp")->property(ui::kColourProperty).toInt(), 0xC0C000);
    click("Stop");
    EXPECT_EQ(window->timerInterval(), 0);
}

TEST_F(PageWindowTest, ViewGraphWritesTheFileThenSignals) {
    int emitted = 0;
    QObject::connect(window.data(), &PageWindow::viewGraphRequested, [&] { ++emitted; });
    click("ViewGraph");
    EXPECT_EQ(emitted, 1);
    EXPECT_TRUE(std::filesystem::exists(home / "Qelvarfiles" / "wavgraphdata"));
}

TEST_F(PageWindowTest, OffSavesAndClosesThePage) {
    window->show();
    as<QLineEdit>("Freq(4)")->setText("250");
    click("Off");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(std::filesystem::exists(home / "Qelvarfiles" / "tessalysetup"));
    EXPECT_TRUE(std::filesystem::exists(home / "Qelvarfiles" / "wavcaldata"));
    window = new PageWindow(snd);
    EXPECT_EQ(as<QLineEdit>("Freq(4)")->text(), "250");
}

TEST_F(PageWindowTest, Picture) {
    const char* out = std::getenv("QELVAR_PAGE_SHOT");
    if (!out)
        GTEST_SKIP() << "set QELVAR_PAGE_SHOT=FILE.png to save a picture";
    window->show();
    window->resize(window->sizeHint());
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(out));
    std::printf("size hint %dx%d, minimum %dx%d\n", window->sizeHint().width(),
                window->sizeHint().height(), window->minimumSizeHint().width(),
                window->minimumSizeHint().height());
}

} // namespace
} // namespace qelvar::construct

// The page window: every control registered under its script name, and a
// click driving the model.
#include "construct/page_window.h"
#include "audio/fake_sound.h"
#include "ui/registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>

namespace qelvar::construct {
namespace {

class PageWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "page_window_test", *argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
        char tmpl[] = "/tmp/qelvar-pagewin-XXXXXX";
        home = mkdtemp(tmpl);
        setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home / "Qelvarfiles");
        window = std::make_unique<PageWindow>(snd);
    }
    void TearDown() override {
        window.reset();
        std::filesystem::remove_all(home);
    }
    QObject* control(const QString& name) { return ui::Registry::instance().control("page", name); }

    std::filesystem::path home;
    audio::FakeSound snd;
    std::unique_ptr<PageWindow> window;
};

TEST_F(PageWindowTest, EveryControlIsRegistered) {
    QStringList names =
        QStringLiteral(
            "AutobuildAll Play Stop Loop Step FullDuplex UseCal OffsetDb SetCal ViewGraph Pulse "
            "PasteToNotes LOff ROff LOn ROn Help Off Offset Scratchpad Status MeasureNotes "
            "PlayLamp LoopLamp StepLamp FullDuplexLamp UseCalLamp OffsetLamp PulseLamp")
            .split(' ');
    const std::tuple<const char*, int, int> arrays[] = {
        {"Freq(%1)", 0, 21},   {"AttL(%1)", 0, 21},    {"AttR(%1)", 0, 24},
        {"Length(%1)", 0, 21}, {"Include(%1)", 0, 24}, {"Indicator(%1)", 0, 23},
        {"Build(%1)", 0, 20},  {"Left(%1)", 1, 20},    {"Right(%1)", 1, 20},
        {"Command%1", 20, 30}, {"Text%1", 18, 27}};
    for (auto [base, from, to] : arrays)
        for (int i = from; i <= to; ++i)
            names << QString(base).arg(i);
    EXPECT_EQ(ui::Registry::instance().window("page"), window.get());
    for (const QString& n : names)
        EXPECT_NE(control(n), nullptr) << n.toStdString();
}

TEST_F(PageWindowTest, ClicksDriveTheModel) {
    auto* freq = qobject_cast<QLineEdit*>(control("Freq(0)"));
    EXPECT_EQ(freq->text(), "20");
    freq->setText("440");
    qobject_cast<QPushButton*>(control("Build(0)"))->click();
    EXPECT_EQ(window->model().table().frequency[1], 440);
    qobject_cast<QPlainTextEdit*>(control("Scratchpad"))->setPlainText("a\nb");
    EXPECT_EQ(window->model().controls().scratchpad, "a\r\nb");
    qobject_cast<QPushButton*>(control("Play"))->click();
    EXPECT_EQ(window->timerInterval(), 100);
    EXPECT_EQ(control("PlayLamp")->property(ui::kColourProperty).toInt(), 0xC0C000);
}

// A take's result may come after the sequence has ended: the window keeps
// asking until it is in, then shows the row, and stops asking.
TEST_F(PageWindowTest, PollsForTakesStillToCome) {
    PageModel& m = window->model();
    m.fullDuplex();
    snd.result = {audio::TakeResult::State::Pending, ""};
    m.play();
    for (int i = 0; i < 3; ++i) // rows 1 and 2 recorded, their results not in
        m.tick();
    qobject_cast<QPushButton*>(control("Stop"))->click();
    EXPECT_TRUE(window->polling());
    auto* left = qobject_cast<QLineEdit*>(control("Left(1)"));
    auto* notes = qobject_cast<QLabel*>(control("MeasureNotes"));
    ASSERT_NE(notes, nullptr);
    snd.result = {audio::TakeResult::State::Good, ""};
    snd.results[m.captureFile(2)] = {audio::TakeResult::State::Failed, "nothing came back"};
    QElapsedTimer clock;
    clock.start();
    while (window->polling() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(window->polling());
    EXPECT_EQ(left->text(), " 0"); // an empty capture file reads 0
    EXPECT_EQ(notes->text(), "Row 2: nothing came back");
}

} // namespace
} // namespace qelvar::construct

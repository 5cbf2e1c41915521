// The page window: a click driving the model, closing by any means, the keyboard.
#include "audio/fake_sound.h"
#include "construct/page_window.h"
#include "support/contrast.h"
#include "support/files.h"
#include "ui/platform_colour.h"
#include "ui/registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace qelvar::construct {
namespace {

class PageWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(home / "Qelvarfiles");
        window = std::make_unique<PageWindow>(snd);
    }
    void TearDown() override { window.reset(); }
    QObject* control(const QString& name) { return ui::Registry::instance().control("page", name); }
    template <class T> T* ctl(const char* name) { return qobject_cast<T*>(control(name)); }
    test::TempDir tmp{true};
    const std::filesystem::path home = tmp.path;
    audio::FakeSound snd;
    std::unique_ptr<PageWindow> window;
};

TEST_F(PageWindowTest, ClicksDriveTheModel) {
    auto* freq = ctl<QLineEdit>("Freq(0)");
    EXPECT_EQ(freq->text(), "20");
    freq->setText("440");
    ctl<QPushButton>("Build(0)")->click();
    EXPECT_EQ(window->model().table().frequency[1], 440);
    ctl<QPlainTextEdit>("Scratchpad")->setPlainText("a\nb");
    EXPECT_EQ(window->model().controls().scratchpad, "a\r\nb");
    ctl<QPushButton>("Play")->click();
    EXPECT_EQ(std::tuple(window->timerInterval(),
                         control("PlayLamp")->property(ui::kColourProperty).toInt()),
              std::tuple(100, 0xC0C000));
}

// A take's result may come after the sequence has ended: the window asks until it is in.
TEST_F(PageWindowTest, PollsForTakesStillToCome) {
    PageModel& m = window->model();
    m.fullDuplex();
    snd.result = {audio::TakeResult::State::Pending, ""};
    m.play();
    for (int i = 0; i < 3; ++i) // rows 1 and 2 recorded, their results not in
        m.tick();
    ctl<QPushButton>("Stop")->click();
    EXPECT_TRUE(window->polling());
    snd.result = {audio::TakeResult::State::Good, ""};
    snd.results[m.captureFile(2)] = {audio::TakeResult::State::Failed, "nothing came back"};
    QElapsedTimer clock;
    clock.start();
    while (window->polling() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(window->polling());
    EXPECT_EQ(ctl<QLineEdit>("Left(1)")->text() + "|" + ctl<QLabel>("MeasureNotes")->text(),
              " 0|Row 2: nothing came back"); // an empty capture file reads 0
}

// The window manager's close and Ctrl+Q do what OFF does: the sweep stops,
// the table and scratchpad are saved, and the page opens again as it was.
TEST_F(PageWindowTest, ClosingByAnyMeansSavesAndStopsLikeOff) {
    for (const bool byKey : {false, true}) {
        window = std::make_unique<PageWindow>(snd);
        window->show();
        QApplication::setActiveWindow(window.get());
        ctl<QLineEdit>("Freq(1)")->setText("440");
        const QString text = byKey ? "by key\nline 2" : "by close";
        auto* pad = ctl<QPlainTextEdit>("Scratchpad");
        pad->setPlainText(text);
        pad->setFocus();
        ctl<QPushButton>("Loop")->click();
        ctl<QPushButton>("Play")->click();
        ASSERT_GT(window->timerInterval(), 0);
        snd.calls.clear();
        if (byKey)
            QTest::keyClick(pad, Qt::Key_Q, Qt::ControlModifier);
        else
            window->close();
        EXPECT_EQ(std::tuple(window->isVisible(), window->timerInterval()), std::tuple(false, 0));
        ASSERT_GE(snd.calls.size(), 2u);
        EXPECT_EQ(snd.calls[1], audio::FakeSound::play("0", audio::kPurgeAll));
        window = std::make_unique<PageWindow>(snd);
        EXPECT_EQ(ctl<QLineEdit>("Freq(1)")->text() + "|" +
                      ctl<QPlainTextEdit>("Scratchpad")->toPlainText(),
                  "440|" + text);
    }
}

// A close that cannot save leaves the page open once, saying so; the session's end never waits.
TEST_F(PageWindowTest, AFailedSaveHoldsTheCloseOnce) {
    window->show();
    std::filesystem::remove_all(home / "Qelvarfiles");
    test::writeText(home / "Qelvarfiles", "a file where the folder should be");
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible() &&
                ctl<QPlainTextEdit>("Status")->toPlainText().contains("not be saved"));
    EXPECT_TRUE(window->close());
    window = std::make_unique<PageWindow>(snd);
    window->show();
    window->setClosingForQuit(true);
    EXPECT_TRUE(window->close());
}

// Tab runs through the groups to HELP and OFF (Ctrl+Tab types a tab in the
// scratchpad); F1 opens the page's help.
TEST_F(PageWindowTest, KeyboardReachesEveryGroup) {
    window->show();
    QApplication::setActiveWindow(window.get());
    QStringList order; // every stop Tab makes, up to OFF
    ctl<QWidget>("Freq(0)")->setFocus();
    while (order.size() < 200 && !order.contains("Off")) {
        QWidget* f = QApplication::focusWidget();
        order << (f ? f->objectName() : QString());
        QTest::keyClick(f ? f : window.get(), Qt::Key_Tab);
    }
    EXPECT_EQ(order.mid(order.size() - 2).join(' ').toStdString(), "Help Off");
    // The table, the build and L/R buttons, the transport, the pulse row, the
    // measuring buttons, the commands, the scratchpad, then HELP and OFF.
    const QStringList walk = QString("Right(20) AutobuildAll ROn Play Step Freq(20) Build(20) "
                                     "ViewGraph Command20 Command25 Command26 Scratchpad "
                                     "PasteToNotes Help Off")
                                 .split(' ');
    order.removeIf([&](const QString& n) { return !walk.contains(n); });
    EXPECT_EQ(order.join(' ').toStdString(), walk.join(' ').toStdString());
    auto* pad = ctl<QPlainTextEdit>("Scratchpad");
    pad->setFocus();
    QTest::keyClicks(pad, "a");
    QTest::keyClick(pad, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClicks(pad, "b");
    EXPECT_EQ(pad->toPlainText(), "a\tb");
    QTest::keyClick(pad, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control("PasteToNotes"));
    EXPECT_FALSE(ui::Registry::instance().window("pagehelp"));
    QTest::keyClick(window.get(), Qt::Key_F1);
    QWidget* help = ui::Registry::instance().window("pagehelp");
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->isVisible());
    help->close();
}

TEST_F(PageWindowTest, ReadableOnADarkDesktop) {
    test::DarkDesktop dark;
    window = std::make_unique<PageWindow>(snd);
    window->show();
    window->model().controls().measureNotes = "Rows 1-20: nothing came back from the input";
    ctl<QPushButton>("PasteToNotes")->click(); // refreshes the page
    for (const auto& t : test::textContrasts(window.get()))
        EXPECT_GE(t.ratio, 3.0) << t.widget.toStdString() << " \"" << t.text.toStdString() << '"';
}

// A page smaller than its contents (a laptop at 150 %) scrolls, but what it
// says stays in view wherever it is scrolled: the status box and the notes.
TEST_F(PageWindowTest, ItsMessagesStayInViewWhenThePageScrolls) {
    ctl<QLabel>("MeasureNotes")->setText("Rows 1-20: no sound device");
    window->resize(640, 420);
    window->show();
    QApplication::processEvents();
    for (const char* name : {"Status", "MeasureNotes"}) {
        auto* w = qobject_cast<QWidget*>(control(name));
        ASSERT_TRUE(w) << name;
        // Whole, and inside the window: nothing of it cut off by the
        // scrolled part's edge.
        EXPECT_EQ(w->visibleRegion().boundingRect(), w->rect()) << name;
        const QRect inWindow(w->mapTo(window.get(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(window->rect().contains(inWindow)) << name;
    }
}

// The main keys answer Alt shortcuts named in their tooltips, and Return
// presses the key that has the focus.
TEST_F(PageWindowTest, MainKeysHaveShortcutsInTheirTooltipsAndReturnPressesTheFocusedOne) {
    const std::pair<const char*, const char*> keys[] = {
        {"Play", "Alt+P"},   {"Stop", "Alt+S"},         {"Loop", "Alt+L"},
        {"Step", "Alt+T"},   {"AutobuildAll", "Alt+A"}, {"FullDuplex", "Alt+D"},
        {"SetCal", "Alt+C"}, {"UseCal", "Alt+U"},       {"ViewGraph", "Alt+G"},
        {"Off", "Alt+O"},
    };
    for (const auto& [name, key] : keys) {
        auto* b = ctl<QPushButton>(name);
        ASSERT_TRUE(b) << name;
        EXPECT_EQ(b->shortcut(), QKeySequence(QString::fromLatin1(key))) << name;
        EXPECT_TRUE(b->toolTip().contains(
            QKeySequence(QString::fromLatin1(key)).toString(QKeySequence::NativeText)))
            << name << ": " << b->toolTip().toStdString();
    }
    EXPECT_TRUE(ctl<QPushButton>("Help")->toolTip().contains("F1"));
    window->show();
    auto* play = ctl<QPushButton>("Play");
    play->setFocus();
    QTest::keyClick(play, Qt::Key_Return);
    EXPECT_TRUE(window->model().playing());
}

} // namespace
} // namespace qelvar::construct

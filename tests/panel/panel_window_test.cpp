// The panel window: closing, the keyboard, a screen reader, a lost sound device.
#include "panel/panel_controls.h"
#include "panel/panel_face.h"
#include "panel/panel_window.h"

#include "audio/fake_sound.h"
#include "support/files.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace qelvar::panel;
using qelvar::audio::FakeSound;
using qelvar::audio::Readiness;
using namespace qelvar::test;

namespace {

struct LosableSound : FakeSound {
    std::string status;
    std::string statusText() const override { return status; }
};

class PanelWindowTest : public ::testing::Test {
  protected:
    TempDir home{true};
    fs::path dir = home.path / "Qelvarfiles";
    LosableSound snd;
    QPointer<PanelWindow> w;
    ~PanelWindowTest() override {
        delete w.data();
        settle();
    }
    void SetUp() override {
        w = new PanelWindow(snd);
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    QWidget* control(const char* name) { return w->findChild<QWidget*>(name); }
    KeyButton* key(const char* name) { return w->key(QString::fromLatin1(name)); }
    QString text(const char* name) { return qobject_cast<QLabel*>(control(name))->text(); }
    bool lamp() { return control("Label38")->isVisible(); }
    void settle() {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
};

QString accessible(QWidget* wd, QAccessible::Text t) {
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(wd);
    return i ? i->text(t) : QStringLiteral("<none>");
}

} // namespace

// Off is the close: its saves are tests/e2e's (panel_off, unwritable_data_folder).
TEST_F(PanelWindowTest, AFailedSaveDoesNotKeepThePanelOpenAtTheSessionsEnd) {
    fs::create_directories(dir / "wavoscsetup"); // a folder in its place: no save can work
    w->setClosingForQuit(true);                  // the close goes on, saying why on stderr
    testing::internal::CaptureStderr();
    EXPECT_TRUE(w->close());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Cannot write " + (dir / "wavoscsetup").string()), std::string::npos) << err;
    settle();
    EXPECT_TRUE(w.isNull());
}

TEST_F(PanelWindowTest, TabWalksTheFaceAndTheKeyboardPressesKeys) {
    key("Label21")->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int i = 0; i < 13; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order.join(' '), "Label16 Label17 Label34 Label18 Label19 Label35 Label37 Label36 "
                               "Label13 Label12 Label14 Label15 Label21");
    EXPECT_TRUE(key("Label21")->ringShown());
    QTest::mouseClick(key("Label17"), Qt::LeftButton);
    EXPECT_TRUE(key("Label17")->hasFocus());
    EXPECT_FALSE(key("Label17")->ringShown()); // the mouse gets no ring
    QTest::keyClick(key("Label16"), Qt::Key_Space);
    EXPECT_TRUE(lamp());
    QTest::keyClick(key("Label17"), Qt::Key_Return);
    EXPECT_FALSE(lamp());
    QTest::keyClick(w, Qt::Key_M, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return text("Label2") == "ST L-R"; }, 1000));
    QTest::keyClick(w, Qt::Key_F1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->helpWindow()->isVisible(); }, 1000));
    w->helpWindow()->close();
}

TEST_F(PanelWindowTest, EntryBoxesTakeDigitsReturnAcceptsEscapeCancels) {
    auto* freq = qobject_cast<QLineEdit*>(control("Text1"));
    QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return freq->isVisible() && freq->hasFocus(); }, 1000));
    QTest::keyClicks(freq, "440");
    QTest::keyClick(freq, Qt::Key_Return);
    EXPECT_FALSE(freq->isVisible());
    EXPECT_EQ(text("Label4"), "440");
    EXPECT_TRUE(lamp());
    EXPECT_TRUE(key("Label36")->hasFocus());
    auto* left = qobject_cast<QLineEdit*>(control("Text2"));
    QTest::keyClick(key("Label35"), Qt::Key_Space);
    ASSERT_TRUE(left->hasFocus());
    QTest::keyClicks(left, "-6");
    QTest::keyClick(left, Qt::Key_Escape);
    EXPECT_FALSE(left->isVisible());
    EXPECT_EQ(text("Label1"), "-3.1");
    EXPECT_FALSE(lamp()); // the entry key stopped the tone, as the mouse does
    EXPECT_TRUE(key("Label35")->hasFocus());
    key("Label35")->click(); // the entry starts again from where it was
    EXPECT_EQ(left->text(), "");
    EXPECT_TRUE(w->model().leftBox().inProgress);
}

TEST_F(PanelWindowTest, AScreenReaderReadsKeysReadoutsAndLamps) {
    QStringList names;
    for (const KeySpot& k : kKeys)
        names << accessible(key(k.control), QAccessible::Name);
    EXPECT_EQ(names.join(','), "Play,Stop,L Vol,R Vol,Mode,S Rate,Memory,Off,Min,Freq,Help,"
                               "Bits,User");
    key("Label34")->click();
    auto read = [&](const char* c) {
        return accessible(control(c), QAccessible::Name) + ": " +
               accessible(control(c), QAccessible::Description);
    };
    EXPECT_EQ(read("Label3") + "; " + read("Label4") + "; " + read("Label38"),
              "Memory: 2; Frequency, Hz: 1000; Playing lamp: off");
    key("Label16")->click();
    EXPECT_EQ(read("Label38") + "; " + read("Label40"), "Playing lamp: on; Playing lamp: on");
}

TEST_F(PanelWindowTest, TheLampGoesOutWhenTheSoundDeviceGoesAway) {
    key("Label16")->click();
    ASSERT_TRUE(lamp());
    const auto tone = fs::last_write_time(dir / "pemtest.wav");
    snd.calls.clear();
    snd.status = "Sound device stopped";
    snd.ready = Readiness::Failed;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lamp(); }, 2000));
    EXPECT_EQ(w->statusLine(), "Sound device stopped");
    EXPECT_TRUE(snd.calls.empty());
    EXPECT_EQ(fs::last_write_time(dir / "pemtest.wav"), tone);
    EXPECT_FALSE(fs::exists(dir / "wavoscsetup"));
    key("Label16")->click(); // nothing can play now
    EXPECT_FALSE(lamp());
}

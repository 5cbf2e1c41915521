#include "panel/panel_window.h"

#include "panel/sound/fake_sound.h"
#include "ui/registry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using qelvar::panel::PanelWindow;
using qelvar::sound::FakeSound;
using qelvar::ui::Registry;

namespace {

// Each test gets its own HOME, hence its own data directory.
class PanelWindowTest : public ::testing::Test {
  protected:
    fs::path home;
    QByteArray oldHome = qgetenv("HOME");
    FakeSound snd;
    QPointer<PanelWindow> w;

    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "qelvar-panelw-XXXXXX").string();
        home = ::mkdtemp(t.data());
        qputenv("HOME", QByteArray::fromStdString(home.string()));
        w = new PanelWindow(snd);
        w->show();
    }
    void TearDown() override {
        delete w.data();
        QApplication::processEvents();
        qputenv("HOME", oldHome);
        fs::remove_all(home);
    }
    void click(const char* name) {
        auto* b = qobject_cast<QAbstractButton*>(Registry::instance().control("panel", name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    QString text(const char* name) {
        QObject* o = Registry::instance().control("panel", name);
        if (auto* l = qobject_cast<QLabel*>(o))
            return l->text();
        if (auto* e = qobject_cast<QLineEdit*>(o))
            return e->text();
        return QStringLiteral("<none>");
    }
    bool shown(const char* name) {
        auto* o = qobject_cast<QWidget*>(Registry::instance().control("panel", name));
        return o && o->isVisible();
    }
};

class SilentDevice : public FakeSound {
  public:
    std::string statusText() const override { return "No sound device found"; }
};

} // namespace

TEST_F(PanelWindowTest, RegistersTheWindowAndEveryControl) {
    EXPECT_EQ(Registry::instance().window("panel"), w.data());
    EXPECT_EQ(w->windowTitle(), "Qelvar");
    EXPECT_EQ(w->size(), QSize(577, 286));
    for (const char* key :
         {"Label16", "Label17", "Label35", "Label37", "Label12", "Label14", "Label34", "Label18",
          "Label19", "Label36", "Label13", "Label15", "Label21"})
        EXPECT_NE(qobject_cast<QAbstractButton*>(Registry::instance().control("panel", key)),
                  nullptr)
            << key;
    const char* readouts[] = {"-3.1", "ST L+R", "1", "1000", "44100", "16", "-3.1"};
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(text(QStringLiteral("Label%1").arg(i).toLatin1().constData()), readouts[i - 1]);
    for (const char* box : {"Text1", "Text2", "Text3", "Label38", "Label40"})
        EXPECT_FALSE(shown(box)) << box;
}

TEST_F(PanelWindowTest, KeysDriveTheModel) {
    click("Label16");
    EXPECT_TRUE(shown("Label38"));
    EXPECT_TRUE(shown("Label40"));
    EXPECT_EQ(snd.calls.size(), 3u);
    click("Label17");
    EXPECT_FALSE(shown("Label38"));
    click("Label12");
    EXPECT_EQ(text("Label2"), "ST L-R");
    click("Label14");
    EXPECT_EQ(text("Label5"), "48000");
    click("Label15");
    EXPECT_EQ(text("Label6"), "24");
    click("Label34");
    EXPECT_EQ(text("Label3"), "2");
    EXPECT_FALSE(shown("Label38"));
    EXPECT_EQ(w->model().memories().current, 2);
}

TEST_F(PanelWindowTest, EntryBoxesFollowTheirKeys) {
    click("Label36");
    ASSERT_TRUE(shown("Text1"));
    auto* box = qobject_cast<QLineEdit*>(Registry::instance().control("panel", "Text1"));
    box->setText("2000");
    click("Label36");
    EXPECT_FALSE(shown("Text1"));
    EXPECT_EQ(text("Label4"), "2000");
    EXPECT_TRUE(shown("Label38"));

    click("Label35");
    auto* left = qobject_cast<QLineEdit*>(Registry::instance().control("panel", "Text2"));
    left->insert("7");
    click("Label35");
    EXPECT_EQ(left->text(), "-20"); // the fallback is shown in the box too
    EXPECT_EQ(text("Label1"), "-20.");
    EXPECT_EQ(text("Label7"), "-3.1");
}

TEST_F(PanelWindowTest, HelpAndUserKeys) {
    int user = 0;
    QObject::connect(w.data(), &PanelWindow::userRequested, [&user] { ++user; });
    QWidget* help = Registry::instance().window("help");
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Qelvar HELP");
    click("Label13");
    EXPECT_TRUE(help->isVisible());
    click("Label21");
    EXPECT_EQ(user, 1);
}

TEST_F(PanelWindowTest, OffSavesAndUnloadsPanelAndHelp) {
    QPointer<QWidget> help = Registry::instance().window("help");
    click("Label34");
    click("Label18");
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(help.isNull());
    std::ifstream in(home / "Qelvarfiles" / "wavoscsetup", std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(s.substr(s.size() - 3), "2\r\n");
    EXPECT_EQ(snd.calls.size(), 4u); // knob's stop, Off's stop
}

TEST_F(PanelWindowTest, FaceIsPaintedAndLampIsRed) {
    click("Label16");
    const QImage img = w->grab().toImage();
    auto lum = [&](int x, int y) { return qGray(img.pixel(x, y)); };
    EXPECT_LT(lum(100, 95), 40);  // display glass
    EXPECT_GT(lum(30, 120), 150); // brushed face
    const QColor lamp = img.pixelColor(284, 92);
    EXPECT_GT(lamp.red(), 180);
    EXPECT_LT(lamp.green(), 120);
    if (qEnvironmentVariableIsSet("QELVAR_PANEL_SHOT"))
        img.save(qEnvironmentVariable("QELVAR_PANEL_SHOT"));
}

TEST(PanelWindowSound, NoDeviceMessageAppearsBelowTheFace) {
    SilentDevice snd;
    PanelWindow w(snd);
    w.show();
    EXPECT_EQ(w.statusLine(), "No sound device found");
    EXPECT_EQ(w.height(), 306);
    EXPECT_EQ(qobject_cast<QLabel*>(Registry::instance().control("panel", "Status"))->text(),
              "No sound device found");
}

// The program's windows together: a logout's save request saves what every
// window's close saves and closes none; closing the panel ends it all.
#include "app/app.h"
#include "audio/fake_sound.h"
#include "support/files.h"
#include "ui/registry.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace qelvar::app {
namespace {

QWidget* window(const char* name) {
    return ui::Registry::instance().window(QString::fromLatin1(name));
}

TEST(App, ASaveRequestSavesEveryWindowAndClosesNone) {
    test::TempDir home(true);
    const auto folder = home.path / "Qelvarfiles";
    std::filesystem::create_directories(folder);
    audio::FakeSound snd;
    App app(snd);
    app.start();
    app.showPage();
    app.showGraph();
    QApplication::processEvents();
    auto* pad =
        qobject_cast<QPlainTextEdit*>(ui::Registry::instance().control("page", "Scratchpad"));
    ASSERT_TRUE(pad);
    pad->setPlainText("kept at the logout");
    for (const char* f : {"tessalysetup", "wavoscsetup", "wavgraphsetup"})
        std::filesystem::remove(folder / f);

    app.saveEverything();
    EXPECT_NE(test::readText(folder / "tessalysetup").find("kept at the logout"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder / "wavoscsetup"));
    EXPECT_TRUE(std::filesystem::exists(folder / "wavgraphsetup"));
    for (const char* w : {"panel", "page", "graph"}) {
        ASSERT_TRUE(window(w)) << w;
        EXPECT_TRUE(window(w)->isVisible()) << w;
    }
    app.endSession();
    // The windows delete themselves once closed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
} // namespace qelvar::app

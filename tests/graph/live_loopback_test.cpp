// The live input window through the private loopback, with its own level
// tone.
#include "audio/pulse_sound.h"
#include "common/files.h"
#include "graph/live_window.h"
#include "support/files.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace qelvar;
using report::LiveMeter;

// Through the private loopback: the window's own 1 kHz tone at -3 dBFS
// reads -3 dBFS on both meters and peaks at 1 kHz; at the sink's 150 %
// the input clips and the lamp says so.
TEST(LiveLoopback, TheLevelToneReadsMinusThreeAndClipsAtOneHundredFiftyPercent) {
    if (!std::getenv("QELVAR_TEST_SERVER"))
        GTEST_SKIP() << "needs a private server (QELVAR_TEST_SERVER)";
    test::TempDir home(true);
    audio::SystemSound sound({});
    audio::setServices(&sound);
    ASSERT_TRUE(sound.waitReady(std::chrono::seconds(10)));
    auto* w = new graph::LiveWindow(dataDir());
    w->show();
    QAbstractButton* tone = nullptr;
    for (auto* b : w->findChildren<QAbstractButton*>())
        if (b->text().contains("1 kHz"))
            tone = b;
    ASSERT_TRUE(tone);
    tone->click();
    const auto settle = [&](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
    };
    settle(2500);
    const LiveMeter& m = w->meter();
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_NEAR(m.peakDbfs(ch), -3, 0.1) << ch;
        EXPECT_NEAR(m.rmsDbfs(ch), -3, 0.1) << ch;
        EXPECT_NEAR(m.toneHz(ch), 1000, 1) << ch;
        EXPECT_NEAR(m.toneDbfs(ch), -3, 0.1) << ch;
        EXPECT_FALSE(m.clipped(ch));
    }
    ASSERT_EQ(std::system("pactl set-sink-volume loop 150%"), 0);
    settle(1500);
    std::system("pactl set-sink-volume loop 100%");
    EXPECT_TRUE(m.clipped(0) && m.clipped(1));
    EXPECT_NEAR(m.peakDbfs(0), 0, 0.1);
    if (const char* shot = std::getenv("QELVAR_LIVE_SHOT"))
        w->grab().save(QString::fromLocal8Bit(shot));
    w->close(); // stops the tone; the window goes with its close
    settle(100);
    EXPECT_FALSE(sound.soundPlaying());
    audio::setServices(nullptr);
}

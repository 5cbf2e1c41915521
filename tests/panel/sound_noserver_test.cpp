// The PortAudio backend with no sound server to reach (PULSE_SERVER points
// at a socket that does not exist): every call comes back at once with an
// error and the capture file is left alone.
#include "panel/sound/portaudio_sound.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qelvar::sound;
using Clock = std::chrono::steady_clock;

namespace {

// The whole step sequence; true when every call failed within half a
// second (a hung open would take two minutes).
bool allFailAtOnce(PortAudioSound& s, const std::string& wav, const std::string& cap) {
    bool ok = true;
    auto timed = [&](auto&& call) {
        const auto t0 = Clock::now();
        ok = call() && ok && Clock::now() - t0 < std::chrono::milliseconds(500);
    };
    timed([&] {
        s.playSound(wav, kLoopFile);
        return true;
    });
    for (std::string c :
         {std::string(kCloseAll), std::string(kOpenCapture), std::string(kSeekCapture),
          std::string(kSetCapture), std::string(kRecordCapture), std::string(kStopCapture),
          kSaveCapturePrefix + cap, std::string(kCloseAll)})
        timed([&] { return s.mciSendString(c) != 0; });
    timed([&] {
        s.playSound("0", kPurgeAll);
        return true;
    });
    return ok;
}

} // namespace

TEST(NoSoundServer, CallsFailAtOnceAndLeaveTheCaptureFileAlone) {
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || std::string(server).find("nonexistent") == std::string::npos)
        GTEST_SKIP() << "needs PULSE_SERVER=unix:/nonexistent";
    TempDir d;
    const auto cap = d.path / "wavrec1.wav";
    writeBytes(cap, "an earlier capture\r\n");
    PortAudioSound s;
    // Straight away, while the worker may still be starting, then once it knows.
    EXPECT_TRUE(allFailAtOnce(s, (d.path / "none.wav").string(), cap.string()));
    EXPECT_FALSE(s.waitReady(std::chrono::seconds(30)));
    EXPECT_EQ(s.statusText(), "No sound device found");
    EXPECT_TRUE(allFailAtOnce(s, (d.path / "none.wav").string(), cap.string()));
    EXPECT_EQ(s.playSound("0", kPurgeAll), 0);
    const auto after = bytesOf(cap);
    EXPECT_EQ(std::string(after.begin(), after.end()), "an earlier capture\r\n");
}

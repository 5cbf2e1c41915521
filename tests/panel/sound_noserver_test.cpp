// The PortAudio backend with no sound server to reach (PULSE_SERVER points
// at a socket that does not exist): every call comes back at once with an
// error and the capture file is left alone.
#include "panel/sound/portaudio_sound.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qelvar::sound;

TEST(NoSoundServer, CallsFailAtOnceAndLeaveTheCaptureFileAlone) {
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || std::string(server).find("nonexistent") == std::string::npos)
        GTEST_SKIP() << "needs PULSE_SERVER=unix:/nonexistent";
    TempDir d;
    const std::string cap = (d.path / "wavrec1.wav").string();
    writeBytes(cap, "an earlier capture\r\n");
    PortAudioSound s;
    // Straight away, while the worker may still be starting, then once it
    // knows; all of them within two seconds (a hung open takes minutes).
    for (int round = 0; round < 2; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        s.playSound((d.path / "none.wav").string(), kLoopFile);
        for (std::string c :
             {std::string(kCloseAll), std::string(kOpenCapture), std::string(kSeekCapture),
              std::string(kSetCapture), std::string(kRecordCapture), std::string(kStopCapture),
              kSaveCapturePrefix + cap})
            EXPECT_NE(s.mciSendString(c), 0) << c;
        const long purged = s.playSound("0", kPurgeAll);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
        if (round == 0)
            EXPECT_FALSE(s.waitReady(std::chrono::seconds(30)));
        else
            EXPECT_EQ(purged, 0);
    }
    EXPECT_EQ(s.statusText(), "No sound device found");
    const auto after = bytesOf(cap);
    EXPECT_EQ(std::string(after.begin(), after.end()), "an earlier capture\r\n");
}

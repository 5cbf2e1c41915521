// The PortAudio backend with no sound server to reach (the test runs with
// PULSE_SERVER pointing at a socket that does not exist): every call comes
// back at once with an error and nothing on disk changes.
#include "panel/sound/portaudio_sound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace qelvar::sound;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Runs the whole step sequence; true when every call failed and none took
// longer than half a second (a hung open would take two minutes).
bool allFailAtOnce(PortAudioSound& s, const std::string& wav, const std::string& cap) {
    bool ok = true;
    auto timed = [&](auto&& call, bool wantFail) {
        const auto t0 = Clock::now();
        const bool failed = call();
        ok = ok && (!wantFail || failed) && Clock::now() - t0 < std::chrono::milliseconds(500);
    };
    timed([&] { return s.playSound(wav, kLoopFile) == 0; }, false);
    for (std::string c :
         {std::string(kCloseAll), std::string(kOpenCapture), std::string(kSeekCapture),
          std::string(kSetCapture), std::string(kRecordCapture), std::string(kStopCapture),
          kSaveCapturePrefix + cap, std::string(kCloseAll)})
        timed([&] { return s.mciSendString(c) != 0; }, true);
    timed([&] { return s.playSound("0", kPurgeAll) == 0; }, false);
    return ok;
}

} // namespace

TEST(NoSoundServer, CallsFailAtOnceAndLeaveTheCaptureFileAlone) {
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || std::string(server).find("nonexistent") == std::string::npos)
        GTEST_SKIP() << "needs PULSE_SERVER=unix:/nonexistent";
    const fs::path dir = fs::temp_directory_path() / "qelvar-noserver";
    fs::create_directories(dir);
    const fs::path cap = dir / "wavrec1.wav";
    std::ofstream(cap, std::ios::binary) << "an earlier capture\r\n";
    const std::string before = readAll(cap);

    PortAudioSound s;
    // Straight away, while the worker may still be starting.
    EXPECT_TRUE(allFailAtOnce(s, (dir / "none.wav").string(), cap.string()));
    EXPECT_FALSE(s.waitReady(std::chrono::seconds(30)));
    EXPECT_EQ(s.state(), PortAudioSound::State::Failed);
    EXPECT_EQ(s.statusText(), "No sound device found");
    // Once the worker knows: still quick, still failing.
    EXPECT_TRUE(allFailAtOnce(s, (dir / "none.wav").string(), cap.string()));
    EXPECT_EQ(s.playSound("0", kPurgeAll), 0);
    EXPECT_EQ(readAll(cap), before);
    fs::remove_all(dir);
}

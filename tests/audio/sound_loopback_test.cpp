// The sound path through the private server's loopback: at 44100 Hz a take
// holds exactly the looped file's frames; at another rate the same tone and level.
#include "audio/pulse_sound.h"
#include "audio/recorder.h"
#include "panel/tone.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace qelvar::audio;
using namespace qelvar::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Frames {
    std::vector<int> l, r;
};

Frames readFrames(const std::string& path) {
    const auto b = readBytes(path);
    Frames out;
    for (std::size_t i = 44; i + 3 < b.size(); i += 4) {
        out.l.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
        out.r.push_back(static_cast<std::int16_t>(b[i + 2] | (b[i + 3] << 8)));
    }
    return out;
}

double rms(const std::vector<int>& v) {
    double s = 0;
    for (int x : v)
        s += double(x) * x;
    return v.empty() ? 0 : std::sqrt(s / static_cast<double>(v.size()));
}

// Frequency from the first and last rising zero crossing, interpolated.
double frequency(const std::vector<int>& v) {
    double first = -1, last = -1;
    int count = 0;
    for (std::size_t i = 1; i < v.size(); ++i)
        if (v[i - 1] < 0 && v[i] >= 0) {
            last = double(i - 1) + double(-v[i - 1]) / double(v[i] - v[i - 1]);
            first = first < 0 ? last : first;
            ++count;
        }
    return count > 1 ? (count - 1) * 44100.0 / (last - first) : 0;
}

class Loopback : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sound = new SystemSound({});
        ready = sound->waitReady(20s);
    }
    static void TearDownTestSuite() { delete sound; }
    void SetUp() override { ASSERT_TRUE(ready) << sound->statusText(); }
    void TearDown() override { stop(); }
    // A tone file as the panel writes it at `hz`, looping from now on.
    Frames play(int hz = 1000) {
        qelvar::panel::Memory m; // 44100, ST L+R, 16 bits, gains 0.7
        m.frequency = hz;
        qelvar::panel::Tone tone;
        tone.compute(m);
        EXPECT_TRUE(tone.writetofile(tmp.path.string()));
        const std::string file = (tmp.path / "pemtest.wav").string();
        EXPECT_EQ(sound->playSound(file, kLoopFile), 1);
        return readFrames(file);
    }
    // A take of what plays now, `length` long; one the server troubled (as
    // a reconfigured PipeWire graph does) says so and is taken again.
    Frames take(const std::string& name, std::chrono::milliseconds length) {
        const std::string path = (tmp.path / name).string();
        TakeResult r;
        for (int attempt = 0; attempt < 5; ++attempt) {
            for (const char* c :
                 {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
                EXPECT_EQ(sound->mciSendString(c), 0) << c;
            std::this_thread::sleep_for(length);
            EXPECT_EQ(sound->mciSendString(kStopCapture), 0);
            EXPECT_EQ(sound->mciSendString(kSaveCapturePrefix + path), 0);
            EXPECT_EQ(sound->mciSendString(kCloseAll), 0);
            r = sound->waitTake(path, 5s);
            if (r.why != kWhyShifted && r.why != kWhyLost)
                break;
            std::this_thread::sleep_for(1500ms);
        }
        EXPECT_EQ(r.state, TakeResult::State::Good) << r.why;
        return readFrames(path);
    }
    void stop() {
        sound->playSound((tmp.path / "stopwav.wav").string(), kPlayOnce);
        sound->playSound("0", kPurgeAll);
    }
    static bool exact() { return sound->deviceRate() == 44100; }
    static SystemSound* sound;
    static bool ready;
    TempDir tmp;
};

SystemSound* Loopback::sound = nullptr;
bool Loopback::ready = false;

} // namespace

TEST_F(Loopback, ToneComesBackAtItsFrequencyAndLevelAndSilenceAfterStop) {
    const Frames played = play();
    ASSERT_EQ(played.l.size(), 44u); // one cycle of 44 frames: 1002.27 Hz
    const Frames got = take("wavrec1.wav", 1s);
    ASSERT_GT(got.l.size(), 30000u);
    EXPECT_EQ(got.l.size() % 44, 0u);
    EXPECT_NEAR(frequency(got.l), 44100.0 / 44, 44100.0 / 44 * 0.005);
    EXPECT_NEAR(frequency(got.r), 44100.0 / 44, 44100.0 / 44 * 0.005);
    EXPECT_NEAR(20 * std::log10(rms(got.l) / rms(played.l)), 0, 0.1);
    EXPECT_NEAR(20 * std::log10(rms(got.r) / rms(played.r)), 0, 0.1);
    stop();
    const Frames quiet = take("wavrec2.wav", 500ms);
    ASSERT_GT(quiet.l.size(), 5000u);
    // Converted, the tone's abrupt end rings on for a few ms.
    const auto after = exact() ? 0 : 2048;
    EXPECT_EQ(rms({quiet.l.begin() + after, quiet.l.end()}), 0);
    EXPECT_EQ(rms({quiet.r.begin() + after, quiet.r.end()}), 0);
}

TEST_F(Loopback, TakesStartOnTheStepsFirstFrameAndHoldWholeLoops) {
    // Ten cycles of a tone that doesn't divide the rate: a take shifted by
    // whole cycles cannot match.
    for (const int f : {1001, 1499}) {
        const Frames played = play(f);
        const std::size_t loop = played.l.size();
        const Frames got = take("wavrec.wav", 700ms);
        ASSERT_GE(got.l.size(), loop * 10);
        EXPECT_EQ(got.l.size() % loop, 0u);
        if (!exact()) {
            EXPECT_NEAR(20 * std::log10(rms(got.l) / rms(played.l)), 0, 0.01);
            continue;
        }
        std::size_t bad = 0;
        for (std::size_t k = 0; k < got.l.size(); ++k)
            bad += got.l[k] != played.l[k % loop] || got.r[k] != played.r[k % loop];
        EXPECT_EQ(bad, 0u) << f << ": first frame " << got.l[0] << "," << got.r[0];
    }
}

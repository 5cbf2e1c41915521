// The PortAudio backend through the private PulseAudio loopback: what is
// played comes back bit for bit, so a take must hold exactly the looped
// file's frames, from its first frame on.
#include "panel/sound/portaudio_sound.h"
#include "panel/tone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>
#include <vector>

using namespace qelvar::sound;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Frames {
    std::vector<int> l, r;
    std::size_t size() const { return l.size(); }
};

// 16-bit stereo frames from file offset `from` on.
Frames readFrames(const std::string& path, std::size_t from) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> b(std::istreambuf_iterator<char>(f), {});
    Frames out;
    for (std::size_t i = from; i + 3 < b.size(); i += 4) {
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
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i - 1] < 0 && v[i] >= 0) {
            const double t = double(i - 1) + double(-v[i - 1]) / double(v[i] - v[i - 1]);
            if (first < 0)
                first = t;
            last = t;
            ++count;
        }
    }
    return count > 1 ? (count - 1) * 44100.0 / (last - first) : 0;
}

// A 16-bit stereo 44100 file of `frames` frames whose left sample of
// frame k is 7k - 3000 and right one 3000 - 5k: every frame distinct, so
// a shifted take can't match.
void writeStepLike(const std::string& path, int frames) {
    std::vector<unsigned char> b;
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const std::uint32_t data = static_cast<std::uint32_t>(frames) * 4;
    b = {'R', 'I', 'F', 'F'};
    le(36 + data, 4);
    for (char c : std::string("WAVEfmt "))
        b.push_back(static_cast<unsigned char>(c));
    le(16, 4), le(1, 2), le(2, 2), le(44100, 4), le(176400, 4), le(4, 2), le(16, 2);
    for (char c : std::string("data"))
        b.push_back(static_cast<unsigned char>(c));
    le(data, 4);
    for (int k = 0; k < frames; ++k) {
        le(static_cast<std::uint16_t>(7 * k - 3000), 2);
        le(static_cast<std::uint16_t>(3000 - 5 * k), 2);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class Loopback : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sound = new PortAudioSound();
        ready = sound->waitReady(20s);
        if (ready)
            std::cout << "round trip " << sound->latencyFrames() << " frames, "
                      << (sound->latencyMeasured() ? "measured" : "estimated") << "\n";
    }
    static void TearDownTestSuite() {
        std::cout << "input overflows " << sound->inputOverflows() << ", output underflows "
                  << sound->outputUnderflows() << "\n";
        delete sound;
    }
    void SetUp() override {
        ASSERT_TRUE(ready) << sound->statusText();
        dir = fs::temp_directory_path() /
              ("qelvar-loop-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        stop();
        fs::remove_all(dir);
    }
    void startTake() {
        for (const char* c : {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
            ASSERT_EQ(sound->mciSendString(c), 0) << c;
    }
    Frames endTake(const std::string& name) {
        const std::string path = (dir / name).string();
        EXPECT_EQ(sound->mciSendString(kStopCapture), 0);
        EXPECT_EQ(sound->mciSendString(kSaveCapturePrefix + path), 0);
        EXPECT_EQ(sound->mciSendString(kCloseAll), 0);
        return readFrames(path, 44);
    }
    void stop() {
        sound->playSound((dir / "stopwav.wav").string(), kPlayOnce);
        sound->playSound("0", kPurgeAll);
    }
    static PortAudioSound* sound;
    static bool ready;
    fs::path dir;
};

PortAudioSound* Loopback::sound = nullptr;
bool Loopback::ready = false;

} // namespace

TEST_F(Loopback, ToneComesBackAtItsFrequencyAndLevel) {
    qelvar::panel::Memory m; // 1000 Hz, 44100, ST L+R, 16 bits, gains 0.7
    qelvar::panel::Tone tone;
    tone.compute(m);
    ASSERT_TRUE(tone.writetofile(dir.string()));
    const std::string file = (dir / "pemtest.wav").string();
    const Frames played = readFrames(file, 44);
    ASSERT_EQ(played.size(), 44u); // one cycle of 44 frames: 1002.27 Hz

    ASSERT_EQ(sound->playSound(file, kLoopFile), 1);
    startTake();
    std::this_thread::sleep_for(1s);
    const Frames got = endTake("wavrec1.wav");
    ASSERT_GT(got.size(), 30000u);
    EXPECT_EQ(got.size() % 44, 0u);
    EXPECT_NEAR(frequency(got.l), 44100.0 / 44, 44100.0 / 44 * 0.005);
    EXPECT_NEAR(frequency(got.r), 44100.0 / 44, 44100.0 / 44 * 0.005);
    const double dbL = 20 * std::log10(rms(got.l) / rms(played.l));
    const double dbR = 20 * std::log10(rms(got.r) / rms(played.r));
    std::cout << "frequency " << frequency(got.l) << " Hz, level error L " << dbL << " dB, R "
              << dbR << " dB over " << got.size() << " frames\n";
    EXPECT_NEAR(dbL, 0, 0.1);
    EXPECT_NEAR(dbR, 0, 0.1);

    // After stop a new take is silent.
    stop();
    startTake();
    std::this_thread::sleep_for(500ms);
    const Frames quiet = endTake("wavrec2.wav");
    ASSERT_GT(quiet.size(), 5000u);
    EXPECT_EQ(rms(quiet.l), 0);
    EXPECT_EQ(rms(quiet.r), 0);
}

TEST_F(Loopback, TakesStartOnTheStepsFirstFrameAndHoldWholeLoops) {
    // Two steps as the sequencer plays them: each take must be its own
    // step's file repeated, from the first frame, cut to whole loops.
    const std::string a = (dir / "tessalyf1.wav").string();
    const std::string b = (dir / "tessalyf2.wav").string();
    writeStepLike(a, 882);
    writeStepLike(b, 1323);
    for (const auto& [file, loop, name] :
         {std::tuple{a, 882, "wavrec1.wav"}, std::tuple{b, 1323, "wavrec2.wav"}}) {
        ASSERT_EQ(sound->playSound(file, kLoopFile), 1);
        startTake();
        std::this_thread::sleep_for(700ms);
        const Frames got = endTake(name);
        ASSERT_GE(got.size(), static_cast<std::size_t>(loop) * 10);
        EXPECT_EQ(got.size() % static_cast<std::size_t>(loop), 0u);
        std::size_t bad = 0;
        for (std::size_t k = 0; k < got.size(); ++k) {
            const int i = static_cast<int>(k % static_cast<std::size_t>(loop));
            bad += got.l[k] != static_cast<std::int16_t>(7 * i - 3000) ||
                   got.r[k] != static_cast<std::int16_t>(3000 - 5 * i);
        }
        EXPECT_EQ(bad, 0u) << name << ": first frame " << got.l[0] << "," << got.r[0];
    }
}

TEST(LoopbackStart, APlayRequestMadeWhileOpeningStartsWithTheStream) {
    const fs::path dir = fs::temp_directory_path() / "qelvar-loop-start";
    fs::create_directories(dir);
    const std::string file = (dir / "early.wav").string();
    writeStepLike(file, 441);
    PortAudioSound s;
    // Asked before the device is open: queued, not lost.
    EXPECT_EQ(s.playSound(file, kLoopFile), 1);
    ASSERT_TRUE(s.waitReady(20s)) << s.statusText();
    std::this_thread::sleep_for(300ms);
    for (const char* c : {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
        ASSERT_EQ(s.mciSendString(c), 0) << c;
    std::this_thread::sleep_for(400ms);
    const std::string cap = (dir / "wavrec1.wav").string();
    EXPECT_EQ(s.mciSendString(kStopCapture), 0);
    EXPECT_EQ(s.mciSendString(kSaveCapturePrefix + cap), 0);
    const Frames got = readFrames(cap, 44);
    // A take of a sound already looping starts on a loop boundary.
    ASSERT_GE(got.size(), 441u * 4);
    EXPECT_EQ(got.size() % 441, 0u);
    EXPECT_EQ(got.l[0], -3000);
    EXPECT_EQ(got.l[440], 7 * 440 - 3000);
    fs::remove_all(dir);
}

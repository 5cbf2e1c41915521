// The sound backend's parts driven by a simulated device: what is rendered
// comes back as input a set number of frames later, as through a loopback.
#include "audio/aligner.h"
#include "audio/lag_finder.h"
#include "audio/player.h"
#include "audio/portaudio_sound.h"
#include "audio/recorder.h"
#include "audio/sound.h"
#include "panel/test_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

using namespace qelvar::audio;

namespace {

// A looped sound whose frame k is (base + k, -(base + k)).
std::unique_ptr<Sound> ramp(int frames, int base) {
    auto s = std::make_unique<Sound>();
    for (int k = 0; k < frames; ++k)
        s->clip.samples.insert(s->clip.samples.end(), {static_cast<std::int16_t>(base + k),
                                                       static_cast<std::int16_t>(-(base + k))});
    s->loop = true;
    return s;
}

struct Device {
    Player player;
    FrameRing ring, out;
    std::int64_t frame = 0;
    std::int64_t latency = 0; // changing it drops or pads frames, as a busy server does
    std::vector<std::int16_t> history;

    std::vector<std::int16_t> run(std::size_t n) {
        std::vector<std::int16_t> buf(n * 2);
        player.render(buf.data(), 2, n, frame);
        history.insert(history.end(), buf.begin(), buf.end());
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t f = frame + static_cast<std::int64_t>(i);
            out.store(f, FrameRing::pack(buf[2 * i], buf[2 * i + 1]));
            const auto back = static_cast<std::size_t>(std::max<std::int64_t>(f - latency, 0)) * 2;
            ring.store(f, f < latency ? 0 : FrameRing::pack(history[back], history[back + 1]));
        }
        frame += static_cast<std::int64_t>(n);
        out.publish(frame);
        ring.publish(frame);
        return buf;
    }
    void runFor(std::int64_t frames) {
        for (std::int64_t done = 0; done < frames; done += 441)
            run(441);
    }
};

} // namespace

TEST(Player, LoopsGaplesslyAndEndsTheLoopBeforeSilence) {
    Device d;
    d.player.post(ramp(3, 10));
    const std::vector<std::int16_t> want = {10, -10, 11, -11, 12, -12, 10, -10, 11, -11};
    EXPECT_EQ(d.run(5), want);
    d.player.post(nullptr); // one frame to the boundary: the loop ends first
    EXPECT_EQ(d.run(2), (std::vector<std::int16_t>{12, -12, 0, 0}));
}

TEST(Aligner, FindsAKnownDelayInNoise) {
    const auto burst = probeBurst(256, 2000);
    const std::vector<float> probe(burst.begin(), burst.end());
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0, 200);
    std::vector<float> input(20000);
    for (auto& v : input)
        v = noise(rng);
    for (std::size_t k = 0; k < probe.size(); ++k)
        input[4099 + k] += 0.5f * probe[k]; // quieter on the way back
    const Match m = bestMatch(probe, input, 0, 20000);
    EXPECT_EQ(m.lag, 4099);
    EXPECT_GT(m.corr, 0.9);
    EXPECT_LT(bestMatch(probe, input, 0, 4000).corr, 0.5); // stops short of it
}

TEST(LagFinder, FindsTheChangeOfSoundNotAShiftedCycle) {
    auto tone = [](int frames, int period, int amp, int from = 0) {
        std::vector<std::uint32_t> v;
        for (int k = from; k < from + frames; ++k) {
            const double x = amp * std::sin(2 * M_PI * k / period);
            v.push_back(
                FrameRing::pack(static_cast<std::int16_t>(x), static_cast<std::int16_t>(-x)));
        }
        return v;
    };
    // 300 frames of one tone, then another; the input holds it from 1234 on.
    // Left and right are in antiphase, so a mono sum would hold nothing.
    auto ref = tone(300, 40, 9000);
    const auto next = tone(500, 25, 9000);
    ref.insert(ref.end(), next.begin(), next.end());
    std::vector<std::uint32_t> input = tone(1234, 33, 5000);
    input.insert(input.end(), ref.begin(), ref.end());
    const auto tail = tone(900, 25, 9000, 500);
    input.insert(input.end(), tail.begin(), tail.end());
    const LagMatch m = bestOffset(ref, input, 1234 + 25); // preferred one cycle off
    EXPECT_EQ(m.lag, 1234);
    EXPECT_NEAR(m.corr, 1.0, 1e-9);
}

class RecorderSim : public ::testing::Test {
  protected:
    long mci(const std::string& c) {
        const long r = rec.command(c, d.latency);
        rec.pump(d.latency);
        return r;
    }
    // A take of `frames` frames of a new step; the device keeps running while
    // the save waits for the step to come back. Returns the left samples.
    std::vector<int> take(int base, std::int64_t frames) {
        d.player.post(ramp(441, base));
        for (const char* c : {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
            EXPECT_EQ(mci(c), 0) << c;
        d.runFor(frames);
        EXPECT_EQ(mci(kStopCapture), 0);
        std::atomic<bool> done{false};
        std::thread device([&] {
            for (int i = 0; i < 200 && !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                d.run(441);
            }
        });
        const std::string path = (tmp.path / "t.wav").string();
        EXPECT_EQ(mci(kSaveCapturePrefix + path), 0);
        done = true;
        device.join();
        const auto b = bytesOf(path);
        std::vector<int> l;
        for (std::size_t i = 44; i + 3 < b.size(); i += 4)
            l.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
        return l;
    }
    TempDir tmp;
    Device d;
    Recorder rec{d.ring, d.out, d.player};
};

TEST_F(RecorderSim, EachTakeFindsItsOwnDriftingRoundTripAndWaitsForTheWholeStep) {
    d.latency = 8000; // 181 ms, longer than the first, 100 ms step
    d.player.post(ramp(441, 0));
    d.runFor(20000);
    // Then the server drops 5000 frames, pads 1234 in, drops 3000.
    const int bases[] = {3000, 10000, 20000, 5000};
    const std::int64_t trips[] = {8000, 3000, 4234, 1234};
    for (int step = 0; step < 4; ++step) {
        d.latency = trips[step];
        const std::int64_t frames = step ? 13230 : 4410;
        const auto l = take(bases[step], frames);
        EXPECT_EQ(rec.takeLag(), trips[step]) << step;
        // The whole step from its first frame, not only what was back by stop.
        ASSERT_EQ(std::ssize(l), frames) << step;
        for (std::size_t k = 0; k < l.size(); ++k)
            ASSERT_EQ(l[k], bases[step] + static_cast<int>(k % 441)) << step << " frame " << k;
    }
}

// No sound server to reach (PULSE_SERVER points at a socket that does not
// exist): every call comes back at once with an error.
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

// The sound backend's parts on a simulated device that loops its output back.
#include "audio/aligner.h"
#include "audio/engine.h"
#include "audio/glitch_log.h"
#include "audio/lag_finder.h"
#include "audio/pa_host.h"
#include "audio/player.h"
#include "audio/portaudio_sound.h"
#include "audio/recorder.h"
#include "audio/sound.h"
#include "audio/wav_reader.h"
#include "support/files.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#ifdef QELVAR_HAVE_JACK
#include <jack/jack.h>
#endif
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <utility>

using namespace qelvar::audio;
using namespace qelvar::test;

namespace {

// Left samples base, base + 1, ...; looped with the right channel negated.
std::vector<std::int16_t> rampSamples(int frames, int base) {
    std::vector<std::int16_t> v;
    for (int k = 0; k < frames; ++k)
        v.push_back(static_cast<std::int16_t>(base + k));
    return v;
}
// A loop of `bits`-bit samples.
template <class T> std::unique_ptr<Sound> loopOf(const std::vector<T>& left, int bits = 16) {
    auto s = std::make_unique<Sound>();
    const int step = 1 << (32 - bits);
    for (const int v : left)
        s->clip.samples.insert(s->clip.samples.end(), {v * step, -v * step});
    s->clip.bits = bits;
    s->loop = true;
    return s;
}
std::unique_ptr<Sound> ramp(int frames, int base) {
    return loopOf(rampSamples(frames, base));
}
// `cycles` turns of a sine of `peak` over a loop of 441 frames (100 Hz each).
std::vector<std::int16_t> tone(double cycles, double peak = 16000) {
    std::vector<std::int16_t> v;
    for (int k = 0; k < 441; ++k)
        v.push_back(
            static_cast<std::int16_t>(std::lround(peak * std::sin(2 * M_PI * cycles * k / 441))));
    return v;
}

std::vector<float> probe() {
    const auto burst = probeBurst(256, 2000);
    return {burst.begin(), burst.end()};
}

struct Device {
    Player player;
    FrameRing ring, out;
    GlitchLog glitches;
    std::int64_t frame = 0;
    std::int64_t latency = 0; // changing it drops or pads frames, as a busy server does
    std::int64_t changeAt = -1, changeTo = 0; // from input frame changeAt the trip is changeTo
    int gain = 1;                             // of the path back (0: nothing back); clips
    std::int64_t holeAt = -1, holeFrames = 0; // input frames that come back silent
    // A card between output and input, run on each frame on its way back, in order.
    std::function<void(std::int32_t&, std::int32_t&)> card;
    std::vector<std::int32_t> history;
    // Run once the player has rendered a callback's frames and before the
    // device counts them as written: what another thread sees meanwhile.
    std::function<void()> midCallback;
    std::int32_t back(std::size_t at) const {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{history[at]} * gain, INT32_MIN, INT32_MAX));
    }
    std::vector<std::int32_t> run(std::size_t n) {
        std::vector<std::int32_t> buf(n * 2);
        player.render(buf.data(), 2, n, frame);
        if (midCallback)
            std::exchange(midCallback, nullptr)();
        history.insert(history.end(), buf.begin(), buf.end());
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t f = frame + static_cast<std::int64_t>(i);
            if (f == changeAt)
                latency = changeTo;
            out.store(f, FrameRing::pack(buf[2 * i], buf[2 * i + 1]));
            std::uint64_t got = 0;
            if (f >= latency) {
                const auto at = static_cast<std::size_t>(f - latency) * 2;
                std::int32_t l = back(at), r = back(at + 1);
                if (card)
                    card(l, r);
                got = FrameRing::pack(l, r);
            }
            if (f >= holeAt && f < holeAt + holeFrames)
                got = 0;
            ring.store(f, got);
        }
        frame += static_cast<std::int64_t>(n);
        out.publish(frame);
        ring.publish(frame);
        return buf;
    }
};

// `probe` from the fractional frame `at` on, scaled, band-limited (windowed sinc).
std::vector<float> delayedCopy(const std::vector<float>& probe, double at, std::size_t frames,
                               double gain) {
    const double pi = std::acos(-1.0), cut = 0.45, half = 64;
    std::vector<float> out(frames);
    for (std::size_t m = 0; m < frames; ++m) {
        double acc = 0;
        for (std::size_t k = 0; k < probe.size(); ++k) {
            const double t = static_cast<double>(m) - at - static_cast<double>(k);
            if (std::fabs(t) >= half)
                continue;
            const double x = 2 * pi * cut * t;
            const double sinc = t == 0 ? 1 : std::sin(x) / x;
            const double w =
                0.42 + 0.5 * std::cos(pi * t / half) + 0.08 * std::cos(2 * pi * t / half);
            acc += probe[k] * 2 * cut * sinc * w;
        }
        out[m] = static_cast<float>(gain * acc);
    }
    return out;
}

// The recorder on the simulated device, pumped after every command and 441 frames.
struct RecorderBench {
    static constexpr int kLoop = 441;
    TempDir tmp;
    Device d;
    Recorder rec{d.ring, d.out, d.player, &d.glitches};
    const std::string path = (tmp.path / "t.wav").string();
    long mci(const std::string& c) {
        const long r = rec.command(c, d.latency);
        rec.pump(d.latency);
        return r;
    }
    void runFor(std::int64_t frames) {
        while (frames > 0) {
            const auto n = std::min<std::int64_t>(frames, kLoop);
            d.run(static_cast<std::size_t>(n));
            rec.pump(d.latency);
            frames -= n;
        }
    }
    // A round trip of `lag` frames, as the probe found it; a sound unlike
    // the recorded ones loops a while.
    void warmUp(std::int64_t lag) {
        d.latency = lag;
        rec.lineUp(lag, true);
        d.player.post(ramp(kLoop, 0));
        runFor(46 * kLoop);
    }
    // Plays `sound` from the device's next frame (returned), records `frames`.
    std::int64_t record(std::unique_ptr<Sound> sound, std::int64_t frames) {
        const std::int64_t start = d.frame;
        d.player.post(std::move(sound));
        for (const char* c : {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
            EXPECT_EQ(mci(c), 0) << c;
        runFor(frames);
        EXPECT_EQ(d.player.state().start, start);
        return start;
    }
    // Stop and save: pending until the take's tail is back (at most 3 s on).
    TakeResult save() {
        EXPECT_EQ(mci(kStopCapture), 0);
        EXPECT_EQ(mci(kSaveCapturePrefix + path), 0);
        EXPECT_EQ(rec.result(path).state, TakeResult::State::Pending);
        for (const std::int64_t until = d.frame + 3 * 44100;
             rec.result(path).state == TakeResult::State::Pending && d.frame < until;)
            runFor(kLoop);
        return rec.result(path);
    }
    // The capture's samples, interleaved; its header must say `bits` and count them.
    std::vector<std::int32_t> saved(int bits = 16) const {
        const auto b = readBytes(path);
        auto clip = readClip(path);
        if (b.size() < 44 || !clip) {
            ADD_FAILURE() << "no capture file";
            return {};
        }
        const std::size_t bytes = static_cast<std::size_t>(bits) / 8;
        EXPECT_EQ(std::tuple(b[34], b[32], u32(b, 28), u32(b, 40)),
                  std::tuple(bits, 2 * bytes, 44100 * 2 * bytes, b.size() - 44));
        for (auto& v : clip->samples)
            v >>= 32 - bits;
        return clip->samples;
    }
};

// Whether `got` is `count` frames of the loop `left` from its first frame.
template <class Left>
::testing::AssertionResult loopFrames(const std::vector<std::int32_t>& got, const Left& left,
                                      std::int64_t count, int gain = 1, int bits = 16) {
    if (std::ssize(got) != 2 * count)
        return ::testing::AssertionFailure() << got.size() / 2 << " frames, not " << count;
    const std::int64_t top = std::int64_t{1} << (bits - 1);
    for (std::size_t k = 0; k < got.size(); ++k) {
        const std::int64_t v = left[k / 2 % left.size()] * gain * (k % 2 ? -1 : 1);
        if (got[k] != std::clamp(v, -top, top - 1))
            return ::testing::AssertionFailure() << "sample " << k << ": " << got[k];
    }
    return ::testing::AssertionSuccess();
}

using State = TakeResult::State;
} // namespace

TEST(Player, LoopsGaplesslyAndEndsTheLoopBeforeSilence) {
    Device d;
    d.player.post(ramp(3, 10));
    const int u = 65536; // a 16-bit step
    const std::vector<std::int32_t> want = {10 * u,  -10 * u, 11 * u,  -11 * u, 12 * u,
                                            -12 * u, 10 * u,  -10 * u, 11 * u,  -11 * u};
    EXPECT_EQ(d.run(5), want);
    d.player.post(nullptr); // one frame to the boundary: the loop ends first
    EXPECT_EQ(d.run(2), (std::vector<std::int32_t>{12 * u, -12 * u, 0, 0}));
}

TEST(Aligner, FindsAKnownDelayInNoise) {
    const auto probe = ::probe();
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
    // A card that inverts a channel, or both: as good a match, and said.
    std::vector<float> inverted(input);
    for (auto& v : inverted)
        v = -v;
    const Match right = bestMatch(probe, input, inverted, 0, 20000);
    EXPECT_EQ(std::tuple(right.lag, right.invertedL, right.invertedR),
              std::tuple(4099, false, true));
    EXPECT_NEAR(right.corr, m.corr, 1e-6);
    const Match both = bestMatch(probe, inverted, 0, 20000);
    EXPECT_EQ(std::tuple(both.lag, both.invertedL, both.invertedR), std::tuple(4099, true, true));
}

// A take's own lag, found by both channels: either may come back inverted.
TEST(Aligner, ATakesLagIsFoundWhicheverChannelsComeBackInverted) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::int32_t> any(-20000, 20000);
    std::vector<std::uint64_t> ref(512), input(4096);
    const auto frame = [](std::int32_t l, std::int32_t r) {
        return FrameRing::pack(l * 65536, r * 65536);
    };
    for (const auto& [signL, signR] : {std::pair{1, 1}, std::pair{1, -1}, std::pair{-1, -1}}) {
        for (auto& f : input)
            f = frame(any(rng) / 100, any(rng) / 100); // the card's noise
        for (std::size_t k = 0; k < ref.size(); ++k) {
            const std::int32_t l = any(rng), r = any(rng);
            ref[k] = frame(l, r);
            input[1234 + k] = frame(signL * l, signR * r);
        }
        const LagMatch m = bestOffset(ref, input, 0);
        EXPECT_EQ(m.lag, 1234) << signL << signR;
        EXPECT_GT(m.corr, 0.99);
        EXPECT_NEAR(correlationAt(ref, input, 1234), m.corr, 1e-9);
    }
}

TEST(Aligner, FractionalLagFindsThePartOfAFrameOfABandLimitedDelay) {
    const auto probe = ::probe();
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0, 5); // 46 dB under the burst as it comes back
    for (const double fraction : {-0.4, -0.1, 0.0, 0.25, 0.45}) {
        auto input = delayedCopy(probe, 1500 + fraction, 3000, 0.5);
        for (auto& v : input)
            v += noise(rng);
        EXPECT_NEAR(fractionalLag(probe, input, 1500), fraction, 0.01) << fraction;
    }
}

// The probe's matches around a true round trip of 1000 frames through real
// plugins (run offline by sox): a wire and a 1-pole low-pass peak on it, a
// 2nd-order Butterworth low-pass at 8 kHz 1 frame and at 2 kHz 5 frames late;
// the impulse begins at 1000 in every case.
TEST(Aligner, ThePathsImpulseBeginsWhereItsRisingEdgeStarts) {
    const std::pair<const char*, std::vector<float>> paths[] = {
        {"wire", {-0.004f, -0.013f, 1.000f, -0.013f, -0.004f, 0.011f, 0.012f, 0.013f}},
        {"1-pole 2 kHz", {-0.005f, -0.012f, 0.658f, 0.487f, 0.365f, 0.282f, 0.220f, 0.175f}},
        {"Butterworth 8 kHz", {0.018f, 0.014f, 0.259f, 0.684f, 0.559f, -0.001f, -0.280f, -0.164f}},
        {"Butterworth 2 kHz", {-0.046f, -0.035f, 0.016f, 0.135f, 0.262f, 0.346f, 0.390f, 0.400f}}};
    for (const auto& [what, all] : paths) { // lags 998 to 1005
        const auto top = std::max_element(all.begin(), all.end());
        const Match best{998 + (top - all.begin()), *top};
        EXPECT_EQ(impulseOnset(best, all, 998), 1000) << what;
    }
}

// At 48000 Hz each padded frame moves the round trip by 0.91875 of a frame.
TEST(Aligner, WholeFramePadMakesTheRoundTripAWholeNumberOfFrames) {
    const std::pair<double, int> cases[] = {{0.0, 0},     {0.08125, 1},   {0.25, 40},
                                            {-0.4, 32},   {0.45, 104},    {0.0031, 0},
                                            {0.0032, 37}, {-0.08125, 159}};
    for (auto [fraction, pad] : cases)
        EXPECT_EQ(wholeFramePad(fraction, 48000), pad) << fraction;
    for (double f = -0.5; f <= 0.5; f += 0.0371) {
        const int pad = wholeFramePad(f, 48000);
        ASSERT_TRUE(pad >= 0 && pad < 160) << pad;
        const double t = f + pad * 0.91875;
        EXPECT_LE(std::fabs(t - std::round(t)), 1.0 / 320 + 1e-9) << f << " pad " << pad;
    }
}

// The round trip jumps between takes with no word from the device (5000
// dropped, 1234 in, 3000 out): the jump is seen in the sound still playing,
// and each later take finds its own round trip, marked as moved. The third
// step is 24-bit and saved so; a dead input then fails the next take.
TEST(RecorderSim, ARoundTripThatJumpsIsSeenAndEachTakeFindsItsOwn) {
    RecorderBench b;
    b.warmUp(8000); // over the first, 100 ms step; then 5000 dropped, 1234 in, 3000 out
    const int bases[] = {3000, 10000, 20000, 5000};
    const std::int64_t trips[] = {8000, 3000, 4234, 1234};
    std::vector<std::int32_t> deep;
    for (int k = 0; k < 441; ++k)
        deep.push_back(20000 * 256 + 37 * k + 1);
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        b.d.latency = trips[step];
        const std::int64_t frames = step ? 13230 : 4410;
        b.record(step == 2 ? loopOf(deep, 24) : ramp(441, bases[step]), frames);
        const TakeResult r = b.save();
        EXPECT_EQ(r.state, step ? State::Suspect : State::Good);
        EXPECT_EQ(r.why, step ? kWhyShifted : "");
        EXPECT_EQ(b.rec.takeLag(), trips[step]);
        if (step == 2)
            EXPECT_TRUE(loopFrames(b.saved(24), deep, frames, 1, 24));
        else
            EXPECT_TRUE(loopFrames(b.saved(), rampSamples(441, bases[step]), frames));
    }
    b.d.gain = 0; // then the input goes dead
    b.record(ramp(441, 2000), 10 * 441);
    EXPECT_EQ(b.save().why, kWhyNothingBack);
    EXPECT_FALSE(std::filesystem::exists(b.path));
}

// The device publishes a new sound's first frame while it renders the
// callback holding it, before it counts the callback's frames as written; a
// take is often asked for only after that. Asked for in between, or after
// the callback, a take starts on the sound's first frame: a looped sound's
// take keeps whole loops, and a sound played once (the sound-card test
// signal, the sweep) is taken from its first frame, as its analysis needs.
TEST(RecorderSim, ATakeAskedForJustAfterItsSoundStartedStartsOnItsFirstFrame) {
    for (const bool once : {false, true})
        for (const bool midCallback : {true, false}) {
            SCOPED_TRACE(std::string(once ? "played once" : "looped") +
                         (midCallback ? ", asked for mid-callback" : ", asked for after it"));
            RecorderBench b;
            b.warmUp(3000);
            b.runFor(100); // mid-loop: the new sound waits 341 frames for the boundary
            const auto left = rampSamples(once ? 8820 : 441, 5000);
            auto sound = loopOf(left);
            sound->loop = !once;
            b.d.player.post(std::move(sound));
            const auto ask = [&] {
                ASSERT_EQ(b.d.player.state().serial, b.d.player.lastPosted());
                for (const char* c :
                     {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
                    EXPECT_EQ(b.rec.command(c, b.d.latency), 0) << c;
            };
            if (midCallback) {
                b.d.midCallback = [&] {
                    ASSERT_GT(b.d.player.state().start, b.d.out.written());
                    ask();
                };
            } else {
                b.runFor(341 + 300);
                ASSERT_LT(b.d.player.state().start, b.d.out.written());
                ask();
            }
            b.runFor(10 * 441 + 200);
            const TakeResult r = b.save();
            EXPECT_EQ(r.state, State::Good) << r.why;
            const std::int64_t frames = std::ssize(b.saved()) / 2;
            EXPECT_TRUE(loopFrames(b.saved(), left, frames));
            EXPECT_GE(frames, 9 * 441);
            if (!once) {
                EXPECT_EQ(frames % 441, 0);
            }
        }
}

// Each on a fresh bench, round trip 3000: a loss keeps the whole loops before
// it (failing under half the take) and asks for the path to be lined up
// again; clipping is suspect only if not played so.
TEST(RecorderSim, WhatATakeKeepsAndHowItIsJudged) {
    const auto rampLoop = rampSamples(441, 1000);
    const auto lowTone = tone(1, 8000); // a shift of a few frames changes little
    auto quiet = rampLoop, loud = rampLoop;
    for (std::size_t k = 0; k < 441; k += 8) {
        quiet[k] = 17000; // doubled on the way back it clips
        loud[k] = 32767;
    }
    const std::int64_t none = INT64_MIN, L = 441;
    struct Case {
        const char* what;
        const std::vector<std::int16_t>& left;
        std::int64_t frames, kept;
        State state;
        std::string why;
        std::int64_t lossAt = none, shift = 0, gap = 0; // input frame from the take's first
        std::int64_t glitchAt = none;
        int gain = 1;
        GlitchLog::Trouble trouble = GlitchLog::Trouble::Lost;
    };
    const Case cases[] = {
        {"dropped late", rampLoop, 20 * L, 12 * L, State::Good, "", 12 * L + 200, -1000},
        {"inserted late", rampLoop, 20 * L, 12 * L, State::Good, "", 12 * L + 200, 700},
        {"dropped at a loop's end", rampLoop, 20 * L, 12 * L, State::Good, "", 12 * L + 440, -1000},
        {"3 dropped from a low tone", lowTone, 20 * L, 12 * L, State::Good, "", 12 * L + 200, -3},
        {"dropped early", rampLoop, 20 * L, 0, State::Failed, kWhyLost, 7 * L + 200, -1000},
        // Out of step before the sound's first period has come back whole.
        {"dropped while settling", rampLoop, 20 * L, 0, State::Failed, kWhyLost, 600, -1000},
        {"inserted while settling", rampLoop, 20 * L, 0, State::Failed, kWhyLost, 300, 700},
        {"3 dropped from a low tone while settling", lowTone, 20 * L, 0, State::Failed, kWhyLost,
         500, -3},
        {"a silent gap late", rampLoop, 20 * L, 12 * L, State::Good, "", 12 * L + 200, 0, 35},
        // Blanked from where the sound is still settling to past its end:
        // no period of it repeats, but nothing at all came back.
        {"blanked while settling", rampLoop, 20 * L, 0, State::Failed, kWhyLost, 100, 0, 30 * L},
        {"stopped on a loop", rampLoop, 7 * L, 7 * L, State::Good, ""},
        {"stopped 1 short", rampLoop, 8 * L - 1, 7 * L, State::Good, ""},
        {"less than a loop", rampLoop, 300, 300, State::Good, ""},
        {"nothing back", rampLoop, 10 * L, 0, State::Failed, kWhyNothingBack, none, 0, 0, none, 0},
        {"reported at its end", rampLoop, 10 * L, 0, State::Failed, kWhyLost, none, 0, 0,
         10 * L - 1},
        {"suspended inside", rampLoop, 10 * L, 0, State::Failed, kWhySuspended, none, 0, 0, 3 * L,
         1, GlitchLog::Trouble::Suspended},
        {"reported before", rampLoop, 10 * L, 10 * L, State::Good, "", none, 0, 0, -1},
        {"reported after", rampLoop, 10 * L, 10 * L, State::Good, "", none, 0, 0, 10 * L},
        {"clipped on the way", quiet, 10 * L, 10 * L, State::Suspect, kWhyClipped, none, 0, 0, none,
         2},
        {"played at full scale", loud, 10 * L, 10 * L, State::Good, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecorderBench b;
        b.d.gain = c.gain;
        b.warmUp(3000);
        writeText(b.path, "an earlier capture");
        if (c.lossAt != none) {
            const std::int64_t at = b.d.frame + 3000 + c.lossAt;
            if (c.gap > 0)
                b.d.holeAt = at, b.d.holeFrames = c.gap;
            else
                b.d.changeAt = at, b.d.changeTo = 3000 + c.shift;
        }
        const std::int64_t start = b.record(loopOf(c.left), c.frames);
        if (c.glitchAt != none)
            b.d.glitches.note(start + 3000 + c.glitchAt, start + 3001 + c.glitchAt, c.trouble);
        const TakeResult r = b.save();
        EXPECT_EQ(r.state, c.state) << r.why;
        EXPECT_EQ(r.why, c.why);
        EXPECT_EQ(b.rec.shifted(), c.lossAt != none); // the path wants lining up again
        if (c.state == State::Failed)
            EXPECT_FALSE(std::filesystem::exists(b.path));
        else
            EXPECT_TRUE(loopFrames(b.saved(), c.left, c.kept, c.gain));
    }
}

// A sound that does not repeat within the monitor's reach (a sweep), after
// an underflow the device reported in the silence before it: the silence
// shows no break, yet the path moved by the frames the server inserted.
// The take is not placed at the old round trip: it finds its own, is
// marked when that moved, and the path is lined up again; where it did
// not move, nothing is marked.
TEST(RecorderSim, TroubleReportedInTheSilenceBeforeASweepIsNotPassedOver) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-12000, 12000);
    std::vector<std::int16_t> sweepLike(20000);
    for (auto& v : sweepLike)
        v = static_cast<std::int16_t>(value(random));
    for (const std::int64_t inserted : {1900, 0}) {
        SCOPED_TRACE(inserted);
        RecorderBench b;
        b.warmUp(3000);
        b.d.player.post(nullptr);
        b.runFor(20 * 441);
        const std::int64_t at = b.d.frame + 3000;
        b.d.changeAt = at;
        b.d.changeTo = 3000 + inserted;
        b.d.glitches.note(at - 2000, at + 1);
        b.runFor(20 * 441);
        b.record(loopOf(sweepLike), 15000);
        const TakeResult r = b.save();
        EXPECT_EQ(r.state, inserted ? State::Suspect : State::Good) << r.why;
        EXPECT_EQ(r.why, inserted ? kWhyShifted : "");
        EXPECT_EQ(b.rec.takeLag(), 3000 + inserted);
        EXPECT_EQ(b.rec.shifted(), inserted != 0); // where it held, it holds on
        EXPECT_TRUE(loopFrames(b.saved(), sweepLike, 15000));
    }
}

// A card-like path: a resonant 2 kHz low-pass (2nd-order Butterworth, the
// cookbook's coefficients), a cubic bend of about -50 dB, white noise at
// -60 dBFS and half gain. Its phase differs at every tone, nothing comes
// back as played, and none of that is a timing fault: every take of a
// sweep is good, placed at the probe's round trip and holding exactly what
// came back there. A drop inside a take is still caught.
struct Card {
    double b0, b1, b2, a1, a2;
    double x1[2]{}, x2[2]{}, y1[2]{}, y2[2]{};
    std::mt19937 rng{5};
    std::normal_distribution<double> noise{0, 32768 * 0.001};
    Card() {
        const double w = 2 * M_PI * 2000 / 44100, alpha = std::sin(w) / (2 * 0.7071),
                     a0 = 1 + alpha, c = std::cos(w);
        b0 = b2 = (1 - c) / 2 / a0;
        b1 = (1 - c) / a0;
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    std::int32_t run(int ch, std::int32_t v) {
        const double x = v / 65536.0;
        const double y = b0 * x + b1 * x1[ch] + b2 * x2[ch] - a1 * y1[ch] - a2 * y2[ch];
        x2[ch] = x1[ch], x1[ch] = x, y2[ch] = y1[ch], y1[ch] = y;
        const double u = y / 32768;
        const double bent = 0.5 * 32768 * (u + 0.006 * u * u * u) + noise(rng);
        return static_cast<std::int32_t>(std::clamp(std::lround(bent), -32768L, 32767L)) * 65536;
    }
};

TEST(RecorderSim, ACardsFiltersNoiseAndDistortionAreNoTimingFault) {
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "a drop in the third take" : "a clean sweep");
        RecorderBench b;
        Card card;
        b.d.card = [&card](std::int32_t& l, std::int32_t& r) {
            l = card.run(0, l);
            r = card.run(1, r);
        };
        b.warmUp(3000);
        int step = 0;
        for (const double cycles : {1.0, 10.0, 20.0, 45.0, 100.0, 150.0}) { // 100 Hz to 15 kHz
            SCOPED_TRACE(cycles);
            const auto left = tone(cycles);
            if (drop && step == 2)
                b.d.changeAt = b.d.frame + 3000 + 20 * 441 + 100, b.d.changeTo = 3000 - 700;
            const std::int64_t start = b.record(loopOf(left), 30 * 441);
            const TakeResult r = b.save();
            const std::vector<std::int32_t> got = b.saved();
            if (drop && step > 2) {
                EXPECT_EQ(r.state, State::Suspect); // placed by its own tone since
                ++step;
                continue;
            }
            EXPECT_EQ(r.state, State::Good) << r.why;
            EXPECT_EQ(b.rec.takeLag(), 3000);
            const std::int64_t kept = drop && step == 2 ? 20 * 441 : 30 * 441;
            ASSERT_EQ(std::ssize(got), 2 * kept);
            for (std::int64_t k = 0; k < kept; ++k) {
                const std::uint64_t f = b.d.ring.load(start + 3000 + k);
                ASSERT_EQ(got[2 * k], FrameRing::left(f) / 65536) << "frame " << k;
                ASSERT_EQ(got[2 * k + 1], FrameRing::right(f) / 65536) << "frame " << k;
            }
            EXPECT_EQ(b.rec.shifted(), drop && step >= 2);
            ++step;
        }
    }
}

// An input that is some other loud sound (a tone unrelated to the one
// played, as a wrong input hears): said so, not read as the step. The same
// sound quietly under a card's noise is a reading like any other.
TEST(RecorderSim, ALoudInputThatIsNotTheSoundPlayedIsSaidSo) {
    for (const double level : {12000.0, 20.0}) {
        SCOPED_TRACE(level);
        RecorderBench b;
        std::int64_t n = 0;
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0, 30);
        b.d.card = [&](std::int32_t& l, std::int32_t& r) {
            const double other =
                level * std::sin(2 * M_PI * 777.7 * static_cast<double>(n++) / 44100);
            const auto v = static_cast<std::int32_t>(std::lround(other + noise(rng)));
            l = r = v * 65536;
        };
        b.warmUp(3000);
        b.record(loopOf(tone(10)), 20 * 441);
        const TakeResult r = b.save();
        EXPECT_EQ(r.state, level > 1000 ? State::Suspect : State::Good);
        EXPECT_EQ(r.why, level > 1000 ? kWhyUnrelated : "");
    }
}

// Two streams looped back `delay` frames apart, counted apart as the
// PulseAudio backend counts them. `starve(n)` stalls the output for n
// frames while the input goes on, as a server does when a busy client
// does not top its stream up in time.
class TwoStreamLoop : public EngineSound {
  public:
    explicit TwoStreamLoop(int delay) {
        start([delay, starved = starved_](Engine& e) {
            e.setInputBase(Engine::kInputBase);
            std::atomic<bool> done{false};
            std::thread device([&] {
                constexpr std::size_t kBlock = 441;
                std::vector<std::int32_t> line(static_cast<std::size_t>(2 * delay), 0);
                std::vector<std::int32_t> block(2 * kBlock);
                while (!done.load()) {
                    if (const int n = starved->exchange(0); n > 0)
                        e.storeInput(nullptr, 2, static_cast<std::size_t>(n));
                    e.renderOutput(block.data(), 2, kBlock);
                    line.insert(line.end(), block.begin(), block.end());
                    e.storeInput(line.data(), 2, kBlock);
                    line.erase(line.begin(), line.begin() + 2 * kBlock);
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
            e.probeAgain();
            e.setState(e.measureLatency(0) ? Engine::State::Ready : Engine::State::Failed);
            while (!e.waitStop(std::chrono::milliseconds(10))) {
            }
            done.store(true);
            device.join();
        });
    }
    void starve(int frames) {
        starved_->store(frames);
        while (starved_->load() != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a few blocks on
    }

  private:
    std::shared_ptr<std::atomic<int>> starved_ = std::make_shared<std::atomic<int>>(0);
};

// A report names the round trip in time. An output underrun since it was
// measured moves the input's count on alone; the round trip stays what
// was measured (it read thousands of frames short, even below zero).
TEST(TwoStreams, AnUnderrunDoesNotChangeTheRoundTripAPathReports) {
    constexpr int kDelay = 3000;
    TwoStreamLoop loop(kDelay);
    ASSERT_TRUE(loop.waitReady(std::chrono::seconds(20)));
    const PathInfo before = loop.pathInfo();
    EXPECT_TRUE(before.latencyMeasured);
    EXPECT_NEAR(before.latencyFrames, kDelay, 441);
    loop.starve(2 * kDelay);
    EXPECT_EQ(loop.pathInfo().latencyFrames, before.latencyFrames);
}

// No sound server: every call fails at once; an earlier capture is removed.
TEST(NoSoundServer, CallsFailAtOnceAndRemoveAnEarlierCapture) {
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || std::string(server).find("nonexistent") == std::string::npos)
        GTEST_SKIP() << "needs PULSE_SERVER=unix:/nonexistent";
    TempDir d;
    const std::string cap = (d.path / "wavrec1.wav").string();
    PortAudioSound s;
    for (int round = 0; round < 2; ++round) {
        writeText(cap, "an earlier capture\r\n");
        const auto t0 = std::chrono::steady_clock::now();
        s.playSound((d.path / "none.wav").string(), kLoopFile);
        for (const std::string& c :
             std::vector<std::string>{kCloseAll, kOpenCapture, kSeekCapture, kSetCapture,
                                      kRecordCapture, kStopCapture, kSaveCapturePrefix + cap})
            EXPECT_NE(s.mciSendString(c), 0) << c;
        const long purged = s.playSound("0", kPurgeAll);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
        EXPECT_EQ(s.takeResult(cap).state, State::Failed);
        EXPECT_FALSE(std::filesystem::exists(cap));
        if (round == 0)
            EXPECT_FALSE(s.waitReady(std::chrono::seconds(30)));
        else
            EXPECT_EQ(purged, 0);
    }
    EXPECT_EQ(s.statusText(), "No sound device found");
    EXPECT_EQ(s.takeResult(cap).why, "no sound device; check that PulseAudio or PipeWire runs");
}

// A JACK server is seen by its socket (JACK 2) or its folder (JACK 1), not
// by the database folder any JACK client leaves behind.
TEST(NoSoundServer, AJackServerIsSeenByItsSocketOrFolder) {
    TempDir d;
    const std::string uid = std::to_string(getuid());
    std::filesystem::create_directory(d.path / ("jack_db-" + uid));
    writeText((d.path / ("jack_default_" + uid + "_0")).string(), "a file, not a socket");
    EXPECT_FALSE(jackServerRuns(d.path));

    const std::filesystem::path sock = d.path / ("jack_studio_" + uid + "_0");
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(sock.string().size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sock.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_TRUE(jackServerRuns(d.path));
    close(fd);
    std::filesystem::remove(sock);
    EXPECT_FALSE(jackServerRuns(d.path));

    std::filesystem::create_directory(d.path / ("jack-" + uid));
    EXPECT_TRUE(jackServerRuns(d.path));
}

#ifdef QELVAR_HAVE_JACK
// With no JACK server, a JACK client (PortAudio's JACK host and ALSA's jack
// device open one while devices are listed) fails at once, before JACK's
// library can take its lock in the shared database: the library itself
// would first report that it could not reach the server.
TEST(NoSoundServer, NoJackClientOpensWhileNoJackServerRuns) {
    if (jackServerRuns())
        GTEST_SKIP() << "a JACK server runs";
    static int reports = 0;
    jack_set_error_function([](const char*) { ++reports; });
    jack_set_info_function([](const char*) { ++reports; });
    using Open = jack_client_t* (*)(const char*, jack_options_t, jack_status_t*, ...);
    const auto open = reinterpret_cast<Open>(dlsym(RTLD_DEFAULT, "jack_client_open"));
    ASSERT_NE(open, nullptr);
    jack_status_t status{};
    EXPECT_EQ(open("qelvar-test", JackNoStartServer, &status), nullptr);
    EXPECT_TRUE(status & JackServerFailed);
    EXPECT_EQ(reports, 0);
    ASSERT_EQ(initialiseQuietly(), paNoError);
    Pa_Terminate();
}
#endif

// Closing waits for a device probe under way: a process that ends inside
// ALSA's probe can leave JACK's shared database locked for every program.
TEST(NoSoundServer, ClosingWaitsForADeviceProbeUnderWay) {
    auto s = std::make_unique<PortAudioSound>();
    s->waitReady(std::chrono::seconds(30));
    std::atomic<bool> ended{false};
    std::thread other([&ended] {
        const DeviceProbe probe;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ended = true;
    });
    while (waitForDeviceProbes(std::chrono::milliseconds(0)))
        std::this_thread::yield();
    s.reset();
    EXPECT_TRUE(ended);
    other.join();
}

// The player's hand-over and the recorder's alignment, driven by a
// simulated device: what is rendered comes back as input a fixed number of
// frames later, as through a digital loopback.
#include "panel/sound/capture_file.h"
#include "panel/sound/player.h"
#include "panel/sound/recorder.h"
#include "panel/sound/sound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

using namespace qelvar::sound;

namespace {

// A looped (or one-shot) sound whose left sample of frame k is base + k
// and right sample -(base + k).
std::unique_ptr<Sound> ramp(int frames, int base, bool loop = true) {
    auto s = std::make_unique<Sound>();
    for (int k = 0; k < frames; ++k) {
        s->clip.samples.push_back(static_cast<std::int16_t>(base + k));
        s->clip.samples.push_back(static_cast<std::int16_t>(-(base + k)));
    }
    s->loop = loop;
    return s;
}

struct Device {
    Player player;
    FrameRing ring;
    FrameRing out; // what was rendered
    std::int64_t frame = 0;
    // The round trip; changing it between callbacks drops (smaller) or
    // inserts (larger) frames on the way, as a busy sound server does.
    std::int64_t latency = 0;
    std::vector<std::int16_t> history; // every rendered frame, stereo

    // One callback of n frames.
    std::vector<std::int16_t> run(std::size_t n) {
        std::vector<std::int16_t> out(n * 2);
        player.render(out.data(), 2, n, frame);
        history.insert(history.end(), out.begin(), out.end());
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t f = frame + static_cast<std::int64_t>(i);
            this->out.store(f, FrameRing::pack(out[2 * i], out[2 * i + 1]));
            const std::int64_t back = f - latency;
            std::int16_t l = 0, r = 0;
            if (back >= 0) {
                l = history[static_cast<std::size_t>(back) * 2];
                r = history[static_cast<std::size_t>(back) * 2 + 1];
            }
            ring.store(f, FrameRing::pack(l, r));
        }
        frame += static_cast<std::int64_t>(n);
        this->out.publish(frame);
        ring.publish(frame);
        return out;
    }
    void runFor(std::int64_t frames, std::size_t block = 1024) {
        for (std::int64_t done = 0; done < frames; done += static_cast<std::int64_t>(block))
            run(block);
    }
};

std::vector<std::int16_t> lefts(const std::vector<std::int16_t>& st) {
    std::vector<std::int16_t> l;
    for (std::size_t i = 0; i < st.size(); i += 2)
        l.push_back(st[i]);
    return l;
}

std::vector<std::int16_t> captureSamples(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> b(std::istreambuf_iterator<char>(f), {});
    std::vector<std::int16_t> s;
    for (std::size_t i = 44; i + 1 < b.size(); i += 2)
        s.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
    return s;
}

} // namespace

TEST(Player, LoopsGaplesslyAndFallsSilentOnRequest) {
    Device d;
    EXPECT_EQ(lefts(d.run(4)), (std::vector<std::int16_t>{0, 0, 0, 0}));
    d.player.post(ramp(3, 10));
    EXPECT_EQ(lefts(d.run(7)), (std::vector<std::int16_t>{10, 11, 12, 10, 11, 12, 10}));
    EXPECT_EQ(d.player.state().start, 4);
    EXPECT_EQ(d.player.state().loopFrames, 3);
    // Two frames to the boundary: the loop ends first, then silence.
    d.player.post(nullptr);
    EXPECT_EQ(lefts(d.run(4)), (std::vector<std::int16_t>{11, 12, 0, 0}));
    EXPECT_EQ(d.player.state().start, 13);
    EXPECT_EQ(d.player.state().loopFrames, 0);
}

TEST(Player, ReplacesAtTheBoundaryOrAtOnce) {
    Device d;
    d.player.post(ramp(1000, 0));
    d.run(10);
    // 990 frames to the boundary is too long to wait: cut at once.
    const auto serial = d.player.post(ramp(500, 2000));
    EXPECT_EQ(lefts(d.run(3)), (std::vector<std::int16_t>{2000, 2001, 2002}));
    EXPECT_EQ(d.player.state().serial, serial);
    EXPECT_EQ(d.player.state().start, 10);
    // 100 frames before the end of this loop: finish it, then switch.
    d.run(397);
    d.player.post(ramp(5, 7000));
    const auto out = lefts(d.run(102));
    EXPECT_EQ(out[0], 2400);
    EXPECT_EQ(out[99], 2499);
    EXPECT_EQ(out[100], 7000);
    EXPECT_EQ(out[101], 7001);
    EXPECT_EQ(d.player.state().start, 510);
}

TEST(Player, PlaysAOneShotOnceAndKeepsOnlyTheLatestRequest) {
    Device d;
    d.player.post(ramp(2, 50));
    d.player.post(ramp(3, 5, false)); // replaces the first before it plays
    EXPECT_EQ(lefts(d.run(6)), (std::vector<std::int16_t>{5, 6, 7, 0, 0, 0}));
    EXPECT_EQ(d.player.state().serial, 2);
}

class RecorderSim : public ::testing::Test {
  public:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("qelvar-rec-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
        d.latency = 3000;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    long mci(const std::string& c) {
        const std::int64_t lag = streamLag >= 0 ? streamLag : d.latency;
        long r = rec.command(c, lag);
        rec.pump(lag);
        return r;
    }
    long startTake() {
        long r = 0;
        for (const char* c : {kCloseAll, kOpenCapture, kSeekCapture, kSetCapture, kRecordCapture})
            r |= mci(c);
        return r;
    }
    long endTake(const std::string& path) {
        return mci(kStopCapture) | mci(kSaveCapturePrefix + path) | mci(kCloseAll);
    }
    Device d;
    std::int64_t streamLag = -1; // the round trip measured at open; -1: d.latency
    Recorder rec{d.ring, d.out, d.player};
    std::filesystem::path dir;
};

TEST_F(RecorderSim, TakeStartsWithTheNewSoundAndHoldsWholeLoops) {
    d.player.post(ramp(700, 100));
    d.runFor(20000);
    // As the sequencer does: the next step's sound, then a new take.
    d.player.post(ramp(441, 5000));
    ASSERT_EQ(startTake(), 0);
    d.runFor(44100);
    const std::string path = (dir / "wavrec1.wav").string();
    ASSERT_EQ(endTake(path), 0);
    const auto s = captureSamples(path);
    ASSERT_GE(s.size(), 2u * 441 * 90); // ~1 s less the round trip
    ASSERT_EQ(s.size() % (2 * 441), 0u);
    for (std::size_t k = 0; k < s.size() / 2; ++k) {
        ASSERT_EQ(s[2 * k], 5000 + static_cast<int>(k % 441)) << "frame " << k;
        ASSERT_EQ(s[2 * k + 1], -(5000 + static_cast<int>(k % 441))) << "frame " << k;
    }
}

TEST_F(RecorderSim, TakeOfARunningLoopStartsOnItsLatestBoundary) {
    d.player.post(ramp(300, 0));
    d.runFor(10000, 64); // the sound began at frame 0
    ASSERT_EQ(startTake(), 0);
    d.runFor(20000, 64);
    const std::string path = (dir / "c.wav").string();
    ASSERT_EQ(endTake(path), 0);
    const auto s = captureSamples(path);
    ASSERT_GT(s.size(), 0u);
    EXPECT_EQ(s.size() % 600, 0u);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[2 * 299], 299);
    EXPECT_EQ(rec.keptFrames() * 2, static_cast<std::int64_t>(s.size()));
}

TEST_F(RecorderSim, AfterStopATakeIsSilent) {
    d.player.post(ramp(441, 1000));
    d.runFor(30000);
    d.player.post(nullptr); // stop, as the sequencer's stop does it
    ASSERT_EQ(startTake(), 0);
    d.runFor(30000);
    const std::string path = (dir / "s 1.wav").string(); // a blank: sent in quotes
    ASSERT_EQ(endTake('"' + path + '"'), 0);
    const auto s = captureSamples(path);
    ASSERT_GT(s.size(), 2u * 20000);
    for (auto v : s)
        ASSERT_EQ(v, 0);
}

TEST_F(RecorderSim, CommandsOutsideATakeFailAndLeaveFilesAlone) {
    const std::string path = (dir / "old.wav").string();
    std::ofstream(path) << "old capture";
    // Nothing open: the first tick's end sequence.
    EXPECT_NE(mci(kStopCapture), 0);
    EXPECT_NE(mci(kSaveCapturePrefix + path), 0);
    EXPECT_EQ(mci(kCloseAll), 0);
    EXPECT_NE(mci("play capture"), 0);
    EXPECT_EQ(mci(kOpenCapture), 0);
    EXPECT_NE(mci(kOpenCapture), 0); // alias taken
    std::ifstream f(path);
    std::string text((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(text, "old capture");
}

TEST_F(RecorderSim, AStepShorterThanTheRoundTripIsAwaitedOnSave) {
    d.player.post(ramp(441, 0));
    d.runFor(5000, 441);
    d.player.post(ramp(441, 9000));
    ASSERT_EQ(startTake(), 0);
    d.runFor(2205, 441); // 50 ms of sound, less than the 3000-frame trip
    ASSERT_EQ(mci(kStopCapture), 0);
    // The device keeps running while the save waits for the step to come back.
    std::thread device([&] {
        for (int i = 0; i < 20; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            d.run(441);
        }
    });
    const std::string path = (dir / "short.wav").string();
    const long saved = mci(kSaveCapturePrefix + path);
    device.join();
    ASSERT_EQ(saved, 0);
    const auto s = captureSamples(path);
    ASSERT_EQ(s.size(), 2u * 2205); // all five loops the step sounded
    for (std::size_t k = 0; k < 2205; ++k)
        ASSERT_EQ(s[2 * k], 9000 + static_cast<int>(k % 441)) << k;
}

namespace {

// Ends a take while the device keeps running in real time's stead, as
// the save waits for the step to come back; returns the capture.
std::vector<std::int16_t> endTakeRunning(RecorderSim& t, const std::string& path) {
    EXPECT_EQ(t.mci(kStopCapture), 0);
    std::atomic<bool> done{false};
    std::thread device([&] {
        for (int i = 0; i < 200 && !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            t.d.run(441);
        }
    });
    const long saved = t.mci(kSaveCapturePrefix + path);
    done = true;
    device.join();
    EXPECT_EQ(saved, 0);
    return captureSamples(path);
}

// The left samples of frames [0, n) of a ramp sound of `loop` frames from
// `base`, looped: what a take of it must hold.
bool holdsRamp(const std::vector<std::int16_t>& s, int base, int loop) {
    for (std::size_t k = 0; k < s.size() / 2; ++k)
        if (s[2 * k] != base + static_cast<int>(k % static_cast<std::size_t>(loop)))
            return false;
    return true;
}

} // namespace

TEST_F(RecorderSim, EachTakeFindsItsOwnRoundTrip) {
    d.player.post(ramp(441, 0));
    d.runFor(20000, 441);
    // Two steps; before the second the server pads 1234 frames into the
    // path (the round trip grows), before the third it drops 3000.
    const int bases[] = {10000, 20000, 5000};
    const std::int64_t trips[] = {3000, 4234, 1234};
    for (int step = 0; step < 3; ++step) {
        d.latency = trips[step];
        d.player.post(ramp(441, bases[step]));
        ASSERT_EQ(startTake(), 0);
        d.runFor(13230, 441); // 300 ms
        const auto s = endTakeRunning(*this, (dir / "t.wav").string());
        EXPECT_TRUE(rec.takeLagFound()) << step;
        EXPECT_EQ(rec.takeLag(), trips[step]) << step;
        // The whole step from its first frame: 30 loops of 441.
        EXPECT_EQ(s.size(), 2u * 13230) << step;
        EXPECT_TRUE(holdsRamp(s, bases[step], 441)) << step;
    }
}

TEST_F(RecorderSim, SaveWaitsForTheWholeStepToComeBack) {
    d.latency = 8000; // 181 ms, longer than the 100 ms step
    d.player.post(ramp(882, 0));
    d.runFor(20000, 441);
    d.player.post(ramp(882, 3000));
    ASSERT_EQ(startTake(), 0);
    d.runFor(4410, 441);
    const auto s = endTakeRunning(*this, (dir / "w.wav").string());
    // All 4410 frames, five whole loops, not what had come back by stop.
    EXPECT_EQ(s.size(), 2u * 4410);
    EXPECT_TRUE(holdsRamp(s, 3000, 882));
}

TEST_F(RecorderSim, SilenceFallsBackToTheLastRoundTripFound) {
    streamLag = 2500; // measured at open; the path has drifted to 3000 since
    const auto silentTake = [&](const char* name) {
        d.player.post(nullptr);
        d.runFor(20000, 441);
        EXPECT_EQ(startTake(), 0);
        d.runFor(8820, 441);
        const auto s = endTakeRunning(*this, (dir / name).string());
        EXPECT_FALSE(rec.takeLagFound());
        EXPECT_GT(s.size(), 2u * 8000);
        for (auto v : s)
            EXPECT_EQ(v, 0);
    };
    // Nothing to match and nothing found yet: the stream's figure.
    silentTake("a.wav");
    EXPECT_EQ(rec.takeLag(), 2500);
    d.player.post(ramp(441, 700));
    ASSERT_EQ(startTake(), 0);
    d.runFor(8820, 441);
    endTakeRunning(*this, (dir / "b.wav").string());
    EXPECT_TRUE(rec.takeLagFound());
    EXPECT_EQ(rec.takeLag(), 3000);
    // Then the last one found.
    silentTake("c.wav");
    EXPECT_EQ(rec.takeLag(), 3000);
}

TEST_F(RecorderSim, FramesLostInsideATakeCutItBeforeThem) {
    d.player.post(ramp(441, 0));
    d.runFor(20000, 441);
    d.player.post(ramp(441, 9000));
    ASSERT_EQ(startTake(), 0);
    d.runFor(2205 + 3000, 441); // the take's first 5 loops are back
    d.latency = 3100;           // then 100 frames are padded in
    d.runFor(8820, 441);
    const auto s = endTakeRunning(*this, (dir / "l.wav").string());
    ASSERT_GE(s.size(), 2u * 441 * 4);
    EXPECT_LT(s.size(), 2u * 441 * 13);
    EXPECT_EQ(s.size() % (2 * 441), 0u);
    EXPECT_TRUE(holdsRamp(s, 9000, 441));
}

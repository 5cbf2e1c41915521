// The player's hand-over and the recorder's alignment, driven by a
// simulated device: what is rendered comes back as input a fixed number of
// frames later, as through a digital loopback.
#include "panel/sound/capture_file.h"
#include "panel/sound/player.h"
#include "panel/sound/recorder.h"
#include "panel/sound/sound.h"

#include <gtest/gtest.h>

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
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("qelvar-rec-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
        d.latency = 3000;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    long mci(const std::string& c) {
        long r = rec.command(c, d.latency);
        rec.pump(d.latency);
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

// The tone burst file and the PULSE button.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class PulseTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        open();
    }
    Bytes buildPulse(const std::string& freq, const std::string& ton, const std::string& toff,
                     const std::string& attOn = "6", const std::string& attOff = "26") {
        c().freq[20] = freq;
        c().attL[20] = attOn;
        c().length[20] = ton;
        c().length[21] = toff;
        c().attL[21] = attOff;
        page->build(21);
        return stepFile(21);
    }
};

struct Burst {
    std::string freq, ton, toff;
    int G;
    double on, off;
    std::uint32_t L, riff, B, nOn, nOff, fileBytes;
};

TEST_F(PulseTest, BurstFilesBlockByBlock) {
    const Burst bursts[] = {
        {"1000", "20", "480", 2, 20, 480, 88248, 88284, 352, 10, 480, 172524},
        {"2000", "20", "480", 10, 40, 960, 88200, 88236, 880, 4, 960, 848364},
        {"1500", "25", "475", 10, 37.5, 712.5, 88200, 88236, 1168, 3, 712, 835164}};
    for (const Burst& t : bursts) {
        SCOPED_TRACE(t.freq);
        snd.calls.clear();
        Bytes b = buildPulse(t.freq, t.ton, t.toff);
        EXPECT_DOUBLE_EQ(page->table().length[21], t.on);
        EXPECT_DOUBLE_EQ(page->table().length[22], t.off);
        ASSERT_EQ(b.size(), t.fileBytes);
        EXPECT_EQ(u32(b, 40), t.L);
        EXPECT_EQ(u32(b, 4), t.riff);
        EXPECT_EQ(44 + (t.nOn + t.nOff) * t.B, t.fileBytes);
        const Bytes onBlock = sineData(t.B, t.G, gainDb(6), gainDb(6));
        const Bytes offBlock = sineData(t.B, t.G, gainDb(26), gainDb(26));
        for (std::uint32_t i = 0; i < t.nOn + t.nOff; ++i) {
            auto start = b.begin() + 44 + i * t.B;
            ASSERT_EQ(Bytes(start, start + t.B), i < t.nOn ? onBlock : offBlock) << "block " << i;
        }
        ASSERT_FALSE(snd.calls.empty());
        EXPECT_EQ(snd.calls.back(), FakeSound::play(path("tessalyf21.wav"), sound::kLoopFile));
        EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOn);
    }
}

TEST_F(PulseTest, FirstOnBlockStartsAtZeroAndOffLevelIsTwentyDbDown) {
    Bytes b = buildPulse("1000", "20", "480");
    EXPECT_EQ(Bytes(b.begin() + 44, b.begin() + 48), Bytes({0, 0, 0, 0}));
    EXPECT_NEAR(page->table().gainL[21], 0.501187, 1e-6);
    EXPECT_NEAR(page->table().gainR[22], 0.0501187, 1e-7);
}

TEST_F(PulseTest, AnAttOffOutOfRangeKeepsThePreviousGain) {
    Bytes first = buildPulse("1000", "20", "480", "6", "100");
    // Never set: the off blocks are silent.
    EXPECT_EQ(first[44 + 10 * 352 + 4 * 22], 0);
    EXPECT_EQ(page->table().gainL[22], 0.0);
    buildPulse("1000", "20", "480", "6", "26");
    Bytes again = buildPulse("1000", "20", "480", "6", "100");
    EXPECT_NEAR(page->table().gainL[22], gainDb(26), 1e-12);
    auto off = again.begin() + 44 + 10 * 352;
    EXPECT_EQ(Bytes(off, off + 352), sineData(352, 2, gainDb(26), gainDb(26)));
}

TEST_F(PulseTest, PulsePressedTwiceStartsAndStopsTheBurst) {
    snd.calls.clear();
    page->pulse();
    auto expected = stopCalls();
    expected.push_back(FakeSound::play(path("tessalyf21.wav"), sound::kLoopFile));
    EXPECT_EQ(snd.calls, expected);
    EXPECT_TRUE(page->pulsePlaying());
    EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOn);
    snd.calls.clear();
    page->pulse();
    expected = stopCalls();
    auto second = stopCalls();
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(snd.calls, expected);
    EXPECT_FALSE(page->pulsePlaying());
    EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOff);
    EXPECT_EQ(page->fileName(), "");
}

TEST_F(PulseTest, PulseDuringASequenceEndsIt) {
    page->play();
    page->tick();
    page->tick();
    EXPECT_EQ(c().indicator[0], kRowPlayed);
    page->pulse();
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOff);
    for (int r = 0; r < 20; ++r)
        EXPECT_EQ(c().indicator[r], kRowIdle);
    EXPECT_TRUE(page->pulsePlaying());
    EXPECT_EQ(snd.calls.back(), FakeSound::play(path("tessalyf21.wav"), sound::kLoopFile));
}

TEST_F(PulseTest, LengthsThatAreAlreadyCyclesCannotGrowWithoutBound) {
    // T-on and T-off boxes out of range keep the converted cycle counts,
    // which each build multiplies again.
    buildPulse("20000", "20", "480");
    buildPulse("20000", "0", "0");
    const auto size = std::filesystem::file_size(dir / "tessalyf21.wav");
    buildPulse("20000", "0", "0"); // would be about 300 MB
    EXPECT_EQ(std::filesystem::file_size(dir / "tessalyf21.wav"), size);
    EXPECT_NE(c().status.find("Pulse file too long"), std::string::npos);
}

} // namespace
} // namespace qelvar::construct::testing

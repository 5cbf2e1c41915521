// The tone burst file and the PULSE button.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class PulseTest : public PageTest {
  protected:
    Bytes buildPulse(const std::string& freq, const std::string& ton, const std::string& toff,
                     const std::string& attOff = "26") {
        c().freq[20] = freq;
        c().attL[20] = "6";
        c().length[20] = ton;
        c().length[21] = toff;
        c().attL[21] = attOff;
        page->build(21);
        return stepFile(21);
    }
};

TEST_F(PulseTest, BurstFilesBlockByBlock) {
    struct Burst {
        std::string freq, ton, toff;
        int G;
        double on, off;
        std::uint32_t L, riff, B, nOn, nOff, fileBytes;
    };
    const Burst bursts[] = {
        {"1000", "20", "480", 2, 20, 480, 88248, 88284, 352, 10, 480, 172524},
        {"2000", "20", "480", 10, 40, 960, 88200, 88236, 880, 4, 960, 848364},
        {"1500", "25", "475", 10, 37.5, 712.5, 88200, 88236, 1168, 3, 712, 835164}};
    for (const Burst& t : bursts) {
        SCOPED_TRACE(t.freq);
        Bytes b = buildPulse(t.freq, t.ton, t.toff);
        EXPECT_DOUBLE_EQ(page->table().length[21], t.on);
        EXPECT_DOUBLE_EQ(page->table().length[22], t.off);
        ASSERT_EQ(b.size(), t.fileBytes);
        EXPECT_EQ(u32(b, 40), t.L);
        EXPECT_EQ(u32(b, 4), t.riff);
        const Bytes onBlock = sineData(t.B, t.G, gainDb(6), gainDb(6));
        const Bytes offBlock = sineData(t.B, t.G, gainDb(26), gainDb(26));
        for (std::uint32_t i = 0; i < t.nOn + t.nOff; ++i)
            ASSERT_EQ(slice(b, 44 + i * t.B, 44 + (i + 1) * t.B), i < t.nOn ? onBlock : offBlock)
                << "block " << i;
        EXPECT_EQ(snd.calls.back(), loopOf(21));
        EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOn);
    }
}

TEST_F(PulseTest, AnAttOffOutOfRangeKeepsThePreviousGain) {
    buildPulse("1000", "20", "480", "26");
    Bytes b = buildPulse("1000", "20", "480", "100");
    EXPECT_NEAR(page->builder().carry().gainL[22], gainDb(26), 1e-12);
    EXPECT_EQ(slice(b, 44 + 10 * 352, 44 + 11 * 352), sineData(352, 2, gainDb(26), gainDb(26)));
}

TEST_F(PulseTest, PulseStartsAndStopsTheBurstAndEndsASequence) {
    snd.calls.clear();
    page->pulse();
    auto expected = stopCalls();
    expected.push_back(loopOf(21));
    EXPECT_EQ(snd.calls, expected);
    EXPECT_TRUE(page->pulsePlaying());
    snd.calls.clear();
    page->pulse();
    EXPECT_EQ(snd.calls, stopCalls(2));
    EXPECT_FALSE(page->pulsePlaying());
    EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOff);
    page->play();
    page->tick();
    page->tick();
    page->pulse();
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(c().indicator[0], kRowIdle);
    EXPECT_TRUE(page->pulsePlaying());
    EXPECT_EQ(snd.calls.back(), loopOf(21));
}

TEST_F(PulseTest, LengthsThatAreAlreadyCyclesCannotGrowWithoutBound) {
    buildPulse("20000", "20", "480");
    buildPulse("20000", "0", "0");
    const auto size = std::filesystem::file_size(dir / "tessalyf21.wav");
    buildPulse("20000", "0", "0"); // would be about 300 MB
    EXPECT_EQ(std::filesystem::file_size(dir / "tessalyf21.wav"), size);
    EXPECT_NE(c().status.find("Pulse file too long"), std::string::npos);
}

} // namespace
} // namespace qelvar::construct::testing

// The tone burst file and the PULSE button.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class PulseTest : public PageTest {
  protected:
    Bytes buildPulse(const std::string& freq, const std::string& ton, const std::string& toff,
                     const std::string& attOff = "26") {
        std::tie(c().freq[20], c().attL[20], c().length[20], c().length[21], c().attL[21]) =
            std::tie(freq, "6", ton, toff, attOff);
        page->build(21);
        return stepFile(21);
    }
};

TEST_F(PulseTest, BurstFilesBlockByBlock) {
    struct Burst {
        std::string freq, ton, toff;
        int G;
        double on, off;
        std::uint32_t L, B, nOn, nOff, fileBytes;
    } const bursts[] = {{"1000", "20", "480", 2, 20, 480, 88248, 352, 10, 480, 172524},
                        {"2000", "20", "480", 10, 40, 960, 88200, 880, 4, 960, 848364},
                        {"1500", "25", "475", 10, 37.5, 712.5, 88200, 1168, 3, 712, 835164}};
    for (const Burst& t : bursts) {
        SCOPED_TRACE(t.freq);
        Bytes b = buildPulse(t.freq, t.ton, t.toff);
        EXPECT_EQ(std::tuple(page->table().length[21], page->table().length[22]),
                  std::tuple(t.on, t.off));
        ASSERT_EQ(b.size(), t.fileBytes);
        EXPECT_EQ(std::tuple(u32(b, 40), u32(b, 4)), std::tuple(t.L, t.L + 36));
        const Bytes onBlock = sineData(t.B, t.G, gainDb(6), gainDb(6));
        const Bytes offBlock = sineData(t.B, t.G, gainDb(26), gainDb(26));
        for (std::uint32_t i = 0; i < t.nOn + t.nOff; ++i)
            ASSERT_EQ(slice(b, 44 + i * t.B, 44 + (i + 1) * t.B), i < t.nOn ? onBlock : offBlock)
                << "block " << i;
        EXPECT_EQ(snd.calls.back(), loopOf(21));
        EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOn);
    }
    Bytes b = buildPulse("1000", "20", "480", "100"); // Att off out of range: the last gain
    EXPECT_NEAR(page->builder().carry().gainL[22], gainDb(26), 1e-12);
    EXPECT_EQ(slice(b, 44 + 10 * 352, 44 + 11 * 352), sineData(352, 2, gainDb(26), gainDb(26)));
}

TEST_F(PulseTest, PulseStartsAndStopsTheBurstAndEndsASequence) {
    auto pulse = [&] { page->pulse(); };
    EXPECT_EQ(callsOf(pulse), stopCalls(1, 21));
    EXPECT_TRUE(page->pulsePlaying());
    EXPECT_EQ(callsOf(pulse), stopCalls(2));
    EXPECT_FALSE(page->pulsePlaying());
    EXPECT_EQ(c().lamp(Lamp::Pulse), kLampOff);
    page->play();
    ticks(2);
    page->pulse();
    EXPECT_EQ(std::tuple(page->playing(), page->interval()), std::tuple(false, 0));
    EXPECT_EQ(c().indicator[0], kRowIdle);
    EXPECT_TRUE(page->pulsePlaying());
    EXPECT_EQ(snd.calls.back(), loopOf(21));
}

TEST_F(PulseTest, LengthsThatAreAlreadyCyclesCannotGrowWithoutBound) {
    buildPulse("20000", "20", "480");
    buildPulse("20000", "0", "0");
    const auto size = std::filesystem::file_size(dir / "tessalyf21.wav");
    // About 300 MB, then 20 times longer with every build, past the point
    // where the longest header the burst can declare holds no whole block
    // (the fourth).
    for (int build = 1; build <= 6; ++build) {
        SCOPED_TRACE(build);
        buildPulse("20000", "0", "0");
        ASSERT_EQ(std::filesystem::file_size(dir / "tessalyf21.wav"), size);
        ASSERT_NE(c().status.find("Pulse file too long"), std::string::npos);
    }
}

} // namespace
} // namespace qelvar::construct::testing

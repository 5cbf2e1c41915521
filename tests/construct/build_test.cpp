// Step files: header fields and sample bytes against values worked by hand.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class BuildTest : public PageTest {
  protected:
    Bytes buildRow1(const std::string& freq) {
        c().freq[0] = freq;
        page->build(1);
        return stepFile(1);
    }
};

TEST_F(BuildTest, StepFilesOfTheSweepTable) {
    // "WAVEfmt ", 16, PCM, 2 channels, 44100, 176400, align 4, 16 bits, "data".
    const std::string fmt("WAVEfmt \x10\0\0\0\1\0\2\0\x44\xAC\0\0\x10\xB1\2\0\4\0\x10\0data", 32);
    const std::tuple<int, int, unsigned> rows[] = {
        {10, 2, 35280},   {400, 2, 880},    {1000, 2, 352}, {1001, 10, 1760},
        {10000, 10, 176}, {15000, 10, 116}, {20000, 10, 88}}; // Hz, cycles, data bytes
    for (auto [freq, cycles, L] : rows) {
        SCOPED_TRACE(freq);
        Bytes b = buildRow1(std::to_string(freq));
        ASSERT_EQ(b.size(), L + 44);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(u32(b, 4), L + 36); // the file less "RIFF" and this field
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 40), fmt);
        EXPECT_EQ(u32(b, 40), L);
        EXPECT_EQ(slice(b), sineData(L, cycles, gainDb(3), gainDb(3)));
    }
}

// A box out of range keeps the last value taken in.
TEST_F(BuildTest, BoxesOutOfRangeKeepTheLastValue) {
    for (auto [typed, taken] : {std::pair{"9", 20}, {"20001", 20}, {"9.6", 10}}) {
        buildRow1(typed);
        EXPECT_EQ(page->table().frequency[1], taken) << typed;
    }
    for (auto [l, r] : {std::pair{"0", "6"}, {"100", "-1"}}) {
        c().attL[0] = l;
        c().attR[0] = r;
        buildRow1("1000");
        EXPECT_DOUBLE_EQ(page->builder().carry().gainL[1], 1.0) << l;
        EXPECT_NEAR(page->builder().carry().gainR[1], 0.501187, 1e-6) << r;
    }
}

TEST_F(BuildTest, AttenuationsSetTheGains) {
    c().attL[0] = "100"; // never set: the left channel is silent, not a fault
    EXPECT_EQ(slice(buildRow1("1000")), sineData(352, 2, 0, gainDb(3)));
    // Above full output the rule's value is stored: frame 12 passes 32767.
    c().attL[0] = c().attR[0] = "-0.5";
    EXPECT_EQ(slice(buildRow1("1000")), sineData(352, 2, 1.0592537, 1.0592537));
}

TEST_F(BuildTest, AutobuildUsesFrequenciesTakenInAndNewAttenuations) {
    c().freq[0] = "440"; // typed, never taken in
    c().attL[0] = "6";
    snd.calls.clear();
    page->autobuildAll();
    EXPECT_EQ(c().status, "    All files created.");
    EXPECT_EQ(page->table().frequency[1], 20);
    EXPECT_EQ(slice(stepFile(1)), sineData(17640, 2, gainDb(6), gainDb(3)));
    EXPECT_EQ(stepFile(20).size(), 132u);
    EXPECT_EQ(snd.calls, stopCalls(20)); // one stop per file, nothing played
    page->build(21);                     // a row built after the pulse row is an ordinary tone
    snd.calls.clear();
    page->build(5);
    const Bytes b = stepFile(5);
    ASSERT_EQ(slice(b), sineData(1764, 2, gainDb(3), gainDb(3))); // 200 Hz: 2 cycles
    EXPECT_EQ(u32(b, 4), 1764u + 36);
    EXPECT_EQ(snd.calls, stopCalls());
}

} // namespace
} // namespace qelvar::construct::testing

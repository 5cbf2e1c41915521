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
    struct Row {
        int freq, cycles;
        std::uint32_t L, frames, fileBytes, riff;
    };
    const Row rows[] = {{10, 2, 35280, 8820, 35324, 35316}, {400, 2, 880, 220, 924, 916},
                        {1000, 2, 352, 88, 396, 388},       {1001, 10, 1760, 440, 1804, 1796},
                        {10000, 10, 176, 44, 220, 212},     {15000, 10, 116, 29, 160, 152},
                        {20000, 10, 88, 22, 132, 124}};
    // "WAVEfmt ", 16, PCM, 2 channels, 44100, 176400, align 4, 16 bits, "data".
    const Bytes fmt{'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',  16, 0, 0,  0, 1,   0,   2,   0,
                    0x44, 0xAC, 0,   0,   0x10, 0xB1, 0x02, 0x00, 4,  0, 16, 0, 'd', 'a', 't', 'a'};
    const double g = gainDb(3);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.freq);
        Bytes b = buildRow1(std::to_string(row.freq));
        ASSERT_EQ(b.size(), row.fileBytes);
        EXPECT_EQ(slice(b, 0, 4), (Bytes{'R', 'I', 'F', 'F'}));
        EXPECT_EQ(u32(b, 4), row.riff);
        EXPECT_EQ(slice(b, 8, 40), fmt);
        EXPECT_EQ(u32(b, 40), row.L);
        EXPECT_EQ(b.size() - 44, 4 * row.frames);
        EXPECT_EQ(slice(b, 44, 48), Bytes(4, 0));
        EXPECT_EQ(slice(b, 44, b.size()), sineData(row.L, row.cycles, g, g));
    }
}

TEST_F(BuildTest, AFrequencyOutsideTheBoxRangeIsIgnored) {
    for (const char* f : {"9", "20001"}) {
        buildRow1(f);
        EXPECT_EQ(page->table().frequency[1], 20) << f;
    }
    buildRow1("9.6");
    EXPECT_EQ(page->table().frequency[1], 10);
}

TEST_F(BuildTest, AttenuationsSetTheGains) {
    c().attL[0] = "100"; // never set: the left channel is silent, not a fault
    Bytes b = buildRow1("1000");
    EXPECT_EQ(b[44 + 4 * 11] | b[45 + 4 * 11], 0);
    c().attL[0] = "0";
    c().attR[0] = "6";
    buildRow1("1000");
    EXPECT_DOUBLE_EQ(page->builder().carry().gainL[1], 1.0);
    EXPECT_NEAR(page->builder().carry().gainR[1], 0.501187, 1e-6);
    c().attL[0] = "100";
    c().attR[0] = "-1";
    buildRow1("1000");
    EXPECT_DOUBLE_EQ(page->builder().carry().gainL[1], 1.0);
    EXPECT_NEAR(page->builder().carry().gainR[1], 0.501187, 1e-6);
    // Above full output the rule's value is stored: frame 12 passes 32767.
    c().attL[0] = c().attR[0] = "-0.5";
    b = buildRow1("1000");
    EXPECT_EQ(slice(b, 44, b.size()), sineData(352, 2, 1.0592537, 1.0592537));
    EXPECT_GT(b[44 + 4 * 11] | b[45 + 4 * 11] << 8, 32767);
}

TEST_F(BuildTest, AutobuildUsesFrequenciesTakenInAndNewAttenuations) {
    c().freq[0] = "440"; // typed, never taken in
    c().attL[0] = "6";
    snd.calls.clear();
    page->autobuildAll();
    EXPECT_EQ(c().status, "    All files created.");
    EXPECT_EQ(page->table().frequency[1], 20);
    Bytes b = stepFile(1);
    ASSERT_EQ(b.size(), 17640u + 44);
    EXPECT_EQ(slice(b, 44, b.size()), sineData(17640, 2, gainDb(6), gainDb(3)));
    EXPECT_EQ(stepFile(20).size(), 132u);
    EXPECT_EQ(snd.calls, stopCalls(20)); // one stop per file, nothing played
    page->build(21);                     // a row built after the pulse row is an ordinary tone
    snd.calls.clear();
    page->build(5);
    b = stepFile(5);
    ASSERT_EQ(b.size(), 1764u + 44); // 200 Hz: 2 cycles
    EXPECT_EQ(u32(b, 4), 1764u + 36);
    EXPECT_EQ(slice(b, 44, b.size()), sineData(1764, 2, gainDb(3), gainDb(3)));
    EXPECT_EQ(snd.calls, stopCalls());
}

} // namespace
} // namespace qelvar::construct::testing

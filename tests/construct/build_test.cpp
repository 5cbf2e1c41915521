// Step files: header fields and sample bytes against values worked by hand
// and by the 16-bit rule computed here.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class BuildTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        open();
    }
    Bytes buildRow1(const std::string& freq) {
        c().freq[0] = freq;
        page->build(1);
        return stepFile(1);
    }
};

struct Row {
    int freq, cycles;
    std::uint32_t L, frames, fileBytes, riff;
};

TEST_F(BuildTest, StepFilesOfTheSweepTable) {
    const Row rows[] = {{10, 2, 35280, 8820, 35324, 35316}, {400, 2, 880, 220, 924, 916},
                        {1000, 2, 352, 88, 396, 388},       {1001, 10, 1760, 440, 1804, 1796},
                        {10000, 10, 176, 44, 220, 212},     {15000, 10, 116, 29, 160, 152},
                        {20000, 10, 88, 22, 132, 124}};
    const double g = gainDb(3);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.freq);
        Bytes b = buildRow1(std::to_string(row.freq));
        ASSERT_EQ(b.size(), row.fileBytes);
        EXPECT_EQ(u32(b, 4), row.riff);
        EXPECT_EQ(u32(b, 40), row.L);
        EXPECT_EQ(row.L / 4, row.frames);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
        EXPECT_EQ(u32(b, 16), 16u);
        EXPECT_EQ(b[20] | b[21] << 8, 1);  // PCM
        EXPECT_EQ(b[22] | b[23] << 8, 2);  // channels
        EXPECT_EQ(u32(b, 24), 44100u);     // 44 AC 00 00
        EXPECT_EQ(u32(b, 28), 176400u);    // 10 B1 02 00
        EXPECT_EQ(b[32] | b[33] << 8, 4);  // block align
        EXPECT_EQ(b[34] | b[35] << 8, 16); // bits
        EXPECT_EQ(Bytes(b.begin() + 44, b.begin() + 48), Bytes({0, 0, 0, 0}));
        EXPECT_EQ(Bytes(b.begin() + 44, b.end()), sineData(row.L, row.cycles, g, g));
    }
    Bytes b = buildRow1("1000");
    EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 8), Bytes({0x84, 0x01, 0x00, 0x00}));
}

TEST_F(BuildTest, AFrequencyOutsideTheBoxRangeIsIgnored) {
    buildRow1("9");
    EXPECT_EQ(page->table().frequency[1], 20);
    buildRow1("20001");
    EXPECT_EQ(page->table().frequency[1], 20);
    EXPECT_EQ(c().freq[0], "20001"); // the box keeps the typed text
    buildRow1("9.6");
    EXPECT_EQ(page->table().frequency[1], 10);
    buildRow1("20000.5");
    EXPECT_EQ(page->table().frequency[1], 20000); // ties to even
}

TEST_F(BuildTest, AttenuationsSetTheGains) {
    c().attL[0] = "0";
    c().attR[0] = "6";
    buildRow1("1000");
    EXPECT_DOUBLE_EQ(page->table().gainL[1], 1.0);
    EXPECT_NEAR(page->table().gainR[1], 0.501187, 1e-6);
    c().attL[0] = "100";
    c().attR[0] = "-1";
    buildRow1("1000");
    EXPECT_DOUBLE_EQ(page->table().gainL[1], 1.0);
    EXPECT_NEAR(page->table().gainR[1], 0.501187, 1e-6);
}

TEST_F(BuildTest, AttenuationAboveFullOutputIsStoredAsTheRuleGivesIt) {
    c().attL[0] = "-0.5";
    c().attR[0] = "-0.5";
    Bytes b = buildRow1("1000");
    const double g = gainDb(-0.5);
    EXPECT_NEAR(g, 1.0592537, 1e-7);
    ASSERT_EQ(Bytes(b.begin() + 44, b.end()), sineData(352, 2, g, g));
    // Frame 12 (θ near a quarter turn) exceeds the signed 16-bit range.
    const int peak = b[44 + 4 * 11] | b[45 + 4 * 11] << 8;
    EXPECT_GT(peak, 32767);
}

TEST_F(BuildTest, AGainNeverSetGivesSilenceNotAFault) {
    c().attL[0] = "100";
    Bytes b = buildRow1("1000");
    ASSERT_EQ(b.size(), 396u);
    for (std::size_t i = 44; i < b.size(); i += 4) {
        EXPECT_EQ(b[i], 0);
        EXPECT_EQ(b[i + 1], 0);
    }
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
    EXPECT_EQ(Bytes(b.begin() + 44, b.end()), sineData(17640, 2, gainDb(6), gainDb(3)));
    for (int r = 1; r <= 20; ++r)
        EXPECT_TRUE(std::filesystem::exists(dir / ("tessalyf" + std::to_string(r) + ".wav")));
    EXPECT_EQ(loopCalls(), 0);
    EXPECT_EQ(snd.calls.size(), 20 * 3u); // one stop per file written
}

TEST_F(BuildTest, RowBuildAfterThePulseRowIsAnOrdinaryTone) {
    page->build(21);
    snd.calls.clear();
    page->build(5);
    Bytes b = stepFile(5);
    ASSERT_EQ(b.size(), 1764u + 44); // 200 Hz: 2 cycles
    EXPECT_EQ(u32(b, 4), 1764u + 36);
    EXPECT_EQ(Bytes(b.begin() + 44, b.end()), sineData(1764, 2, gainDb(3), gainDb(3)));
    EXPECT_EQ(snd.calls, stopCalls());
}

TEST_F(BuildTest, AFileThatCannotBeWrittenIsReported) {
    std::filesystem::create_directory(dir / "tessalyf1.wav"); // a folder in the way
    page->autobuildAll();
    EXPECT_NE(c().status, "    All files created.");
    EXPECT_NE(c().status.find("Cannot write"), std::string::npos);
}

} // namespace
} // namespace qelvar::construct::testing

#include "construct/noise/noise_run.h"
#include "noise_files.h"

#include <gtest/gtest.h>

using namespace qelvar::noise;
using namespace noisetest;
using qelvar::wav::FileImage;

namespace {

std::uint64_t frozen() {
    return 99;
}

// The six files of one fixed-seed run, made once for all cases.
class NoiseRunFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = freshDir("qelvar-noise-run");
        FileImage image(3000000);
        ClockedUniformSource rng(20240601, &frozen);
        NoiseRun run;
        result_ = run.run(image, dir_.string(), rng);
        for (std::size_t f = 0; f < 6; ++f)
            files_[f] = readBytes(dir_ / std::string(noiseFileNames[f]));
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
    static const std::vector<std::uint8_t>& file(std::size_t f) { return files_[f]; }

    static inline std::filesystem::path dir_;
    static inline RunResult result_;
    static inline std::array<std::vector<std::uint8_t>, 6> files_;
};

} // namespace

TEST_F(NoiseRunFiles, WritesSixFilesOfTheirFixedLengths) {
    EXPECT_TRUE(result_.ok);
    EXPECT_EQ(result_.failedFile, "");
    const std::array<std::size_t, 6> sizes{705644, 176444, 176444, 705644, 705644, 705644};
    for (std::size_t f = 0; f < 6; ++f)
        EXPECT_EQ(file(f).size(), sizes[f]) << noiseFileNames[f];
}

TEST_F(NoiseRunFiles, WhiteFileHeader) {
    const auto& b = file(0);
    const std::vector<std::uint8_t> header{
        'R',  'I',  'F', 'F', 0x64, 0xC4, 0x0A, 0x00, 'W', 'A',  'V',  'E',  'f',  'm',  't',
        ' ',  16,   0,   0,   0,    1,    0,    2,    0,   0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1,
        0x02, 0x00, 4,   0,   16,   0,    'd',  'a',  't', 'a',  0x40, 0xC4, 0x0A, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 44), header);
}

TEST_F(NoiseRunFiles, WhiteCodesStaySixDecibelsBelowFullScale) {
    // Every value lies in [−16383.75, 16383.75): codes 0..16384 or 49151..65535.
    const auto& b = file(0);
    for (std::size_t n = 1; n <= 176400; ++n)
        for (int ch = 0; ch < 2; ++ch) {
            unsigned c = code(b, n, ch);
            ASSERT_TRUE(c <= 16384 || c >= 49151) << n;
        }
}

TEST_F(NoiseRunFiles, BandNoiseHasEqualChannelsAndAQuietStart) {
    for (std::size_t f : {1u, 2u}) {
        const auto& b = file(f);
        std::uint32_t L = le32(b, 40);
        EXPECT_EQ(le32(b, 4), L + 36);
        EXPECT_EQ(L % 4, 0u);
        EXPECT_LE(L, f == 1 ? 168348u : 136348u);
        EXPECT_GT(L, 100000u);
        std::size_t frames = L / 4 + 11;
        for (std::size_t n = 1; n <= frames; ++n)
            ASSERT_EQ(code(b, n, 0), code(b, n, 1)) << noiseFileNames[f] << " frame " << n;
        EXPECT_EQ(code(b, 1, 0), 0u);
        EXPECT_EQ(code(b, 2, 0), 0u);
        EXPECT_NE(code(b, 300, 0), 0u);
    }
}

TEST_F(NoiseRunFiles, PinkFilesDeclareTheirSizes) {
    for (std::size_t f : {3u, 4u, 5u}) {
        EXPECT_EQ(le32(file(f), 40), 590516u);
        EXPECT_EQ(le32(file(f), 4), 590552u);
    }
}

TEST_F(NoiseRunFiles, PinkAndCsaAreTheSameFile) {
    EXPECT_EQ(file(3), file(5));
    EXPECT_NE(file(3), file(4));
}

TEST_F(NoiseRunFiles, UlCodesAvoidTheExtremes) {
    const auto& b = file(4);
    std::size_t ones = 0;
    for (std::size_t n = 1; n <= 176400; ++n)
        for (int ch = 0; ch < 2; ++ch) {
            unsigned c = code(b, n, ch);
            ASSERT_GE(c, 1u);
            ASSERT_LE(c, 65534u);
            ones += c == 1;
        }
    // Zero samples (the silent tail at least) are stored as 1.
    EXPECT_GE(ones, 20u);
}

TEST_F(NoiseRunFiles, DroppedFramesLeaveTheOldTailBehind) {
    // Frames move 6710 places down; the last 6710 frames keep their old
    // contents, which are then also the 6710 frames before them.
    for (std::size_t f : {3u, 4u}) {
        const auto& b = file(f);
        const std::size_t span = 26840;
        ASSERT_TRUE(std::equal(b.end() - span, b.end(), b.end() - 2 * span)) << f;
        // The high-pass leaves its last 10 samples at zero.
        EXPECT_EQ(code(b, 176400, 0), f == 4 ? 1u : 0u);
        EXPECT_EQ(code(b, 176400 - 6710, 1), f == 4 ? 1u : 0u);
    }
}

TEST(NoiseRun, SameSeedSameFiles) {
    auto dir = freshDir("qelvar-noise-twice");
    std::vector<std::uint8_t> first;
    for (int round = 0; round < 2; ++round) {
        FileImage image(3000000);
        ClockedUniformSource rng(5, &frozen);
        NoiseRun run;
        ASSERT_TRUE(run.run(image, dir.string(), rng).ok);
        auto b = readBytes(dir / "ulnoise.wav");
        if (round == 0)
            first = b;
        else
            EXPECT_EQ(b, first);
    }
    std::filesystem::remove_all(dir);
}

namespace {

// Gives `value` on every draw except draw number `zeroAt` (from 0).
class OneZeroSource : public UniformSource {
  public:
    OneZeroSource(float value, std::size_t zeroAt) : value_(value), zeroAt_(zeroAt) {}
    float u() override { return draws_++ == zeroAt_ ? 0.0f : value_; }
    void reseedFromClock() override {}

  private:
    float value_;
    std::size_t zeroAt_;
    std::size_t draws_ = 0;
};

} // namespace

TEST(NoiseRun, DrawnIndexZeroGivesASilentSample) {
    // Draws: 102 for the table, 4 per white value (two newrandom calls of two
    // draws each) for 2 × 176400 values, then the index draws, left first.
    const std::size_t firstIndexDraw = 102 + 4 * 2 * 176400;
    OneZeroSource src(0.25f, firstIndexDraw);
    NoiseState st;
    FileImage im(3000000);
    noisedatacalc(st, src, im);
    // Every white value is 0.25 − 0.5; index 44100 gives −8191.875 → 57343.
    EXPECT_EQ(im[45], 0x00); // frame 1 left: index 0
    EXPECT_EQ(im[46], 0x00);
    EXPECT_EQ(im[47], 0xFF); // frame 1 right
    EXPECT_EQ(im[48], 0xDF);
    EXPECT_EQ(im[49], 0xFF); // frame 2 left
    EXPECT_EQ(im[50], 0xDF);
    EXPECT_EQ(st.noiseL[1], 0.0);
    EXPECT_EQ(st.noiseL[2], -8191.875);
}

TEST(NoiseRun, ReplacesLongerOlderFiles) {
    auto dir = freshDir("qelvar-noise-replace");
    for (auto name : {"whnoise.wav", "iecnoise.wav"}) {
        std::ofstream(dir / name, std::ios::binary) << std::string(1000000, 'x');
    }
    FileImage image(3000000);
    ClockedUniformSource rng(1, &frozen);
    NoiseRun run;
    ASSERT_TRUE(run.run(image, dir.string(), rng).ok);
    EXPECT_EQ(std::filesystem::file_size(dir / "whnoise.wav"), 705644u);
    EXPECT_EQ(std::filesystem::file_size(dir / "iecnoise.wav"), 176444u);
    std::filesystem::remove_all(dir);
}

TEST(NoiseRun, UnwritableFileEndsTheRunAndNamesIt) {
    auto dir = freshDir("qelvar-noise-fail");
    // A folder in the way: the IEC file cannot replace it.
    std::filesystem::create_directories(dir / "iecnoise.wav" / "inside");
    FileImage image(3000000);
    ClockedUniformSource rng(1, &frozen);
    NoiseRun run;
    RunResult r = run.run(image, dir.string(), rng);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedFile, "iecnoise.wav");
    EXPECT_EQ(std::filesystem::file_size(dir / "whnoise.wav"), 705644u);
    EXPECT_FALSE(std::filesystem::exists(dir / "subnoise.wav"));
    std::filesystem::remove_all(dir);
}

TEST(NoiseRun, ImageTooSmallWritesNothing) {
    auto dir = freshDir("qelvar-noise-small");
    FileImage image(60000);
    ClockedUniformSource rng(1, &frozen);
    NoiseRun run;
    RunResult r = run.run(image, dir.string(), rng);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedFile, "whnoise.wav");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    std::filesystem::remove_all(dir);
}

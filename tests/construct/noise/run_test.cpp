// The six files of a fixed-seed run.
#include "construct/noise/noise_run.h"
#include "noise_files.h"

#include <gtest/gtest.h>

using namespace qelvar::noise;
using namespace noisetest;
using qelvar::wav::FileImage;

namespace {

class NoiseRunFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        TempDir dir;
        // An older, longer file must be replaced by one of the new size.
        writeText(dir.path / "whnoise.wav", std::string(1000000, 'x'));
        FileImage image(3000000);
        ClockedUniformSource rng(20240601, [] { return std::uint64_t{99}; });
        NoiseRun run;
        ok_ = run.run(image, dir.path.string(), rng).ok;
        for (std::size_t f = 0; f < 6; ++f)
            files_[f] = readBytes(dir.path / std::string(noiseFileNames[f]));
    }
    static inline bool ok_ = false;
    static inline std::array<std::vector<std::uint8_t>, 6> files_;
};

} // namespace

TEST_F(NoiseRunFiles, WhiteFileSizeAndHeader) {
    EXPECT_TRUE(ok_);
    const auto& b = files_[0];
    ASSERT_EQ(b.size(), 705644u);
    EXPECT_EQ(std::tuple(u32(b, 4), u32(b, 28), b[32], u32(b, 40)),
              std::tuple(705636u, 176400u, 4, 705600u));
}

TEST_F(NoiseRunFiles, BandNoiseHasEqualChannels) {
    for (std::size_t f : {1u, 2u}) {
        const auto& b = files_[f];
        ASSERT_EQ(b.size(), 176444u);
        std::size_t frames = u32(b, 40) / 4;
        EXPECT_GT(frames, 25000u);
        for (std::size_t n = 1; n <= frames; ++n)
            ASSERT_EQ(code(b, n, 0), code(b, n, 1)) << noiseFileNames[f] << " frame " << n;
        EXPECT_NE(code(b, 300, 0), 0u);
    }
}

TEST_F(NoiseRunFiles, UlCodesAvoidTheExtremes) {
    const auto& b = files_[4];
    ASSERT_EQ(b.size(), 705644u);
    std::size_t ones = 0;
    for (std::size_t n = 1; n <= 176400; ++n)
        for (int ch = 0; ch < 2; ++ch) {
            ASSERT_TRUE(code(b, n, ch) >= 1 && code(b, n, ch) <= 65534) << n;
            ones += code(b, n, ch) == 1;
        }
    EXPECT_GE(ones, 20u); // zero samples (the silent tail at least) are stored as 1
}

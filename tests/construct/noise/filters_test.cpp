// Frame codes, the random table and the filters, each on hand-worked input.
#include "construct/noise/noise_filters.h"
#include "construct/noise/noise_frame.h"
#include "construct/noise/noise_run.h"
#include "construct/noise/section.h"
#include "noise_designs.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::noise;
using qelvar::wav::FileImage;

namespace {

std::array<int, 4> frameBytes(const FileImage& im, std::size_t n) {
    std::size_t k = 4 * n + 41;
    return {im[k], im[k + 1], im[k + 2], im[k + 3]};
}

// Hands out a fixed list of values, then `rest`, except a 0 at draw `zeroAt`.
struct ListSource : UniformSource {
    ListSource(std::vector<float> v, float rest, std::size_t zeroAt = SIZE_MAX)
        : v(std::move(v)), rest(rest), zeroAt(zeroAt) {}
    float u() override {
        const std::size_t n = next++;
        return n == zeroAt ? 0.0f : n < v.size() ? v[n] : rest;
    }
    void reseedFromClock() override {}
    std::vector<float> v;
    float rest;
    std::size_t zeroAt, next = 0;
};

} // namespace

TEST(NoiseFrame, Codes) {
    FileImage im(200);
    // −0.3 + 65535 = 65534.7 → 65535; 0 → 0; 16383.75 → 16384; in range 1..65534,
    // 0 → 1 and −0.2 → 65534.8, limited to 65534.
    encodeNoiseFrame(im, 1, -0.3, 0.0, fullCodes);
    encodeNoiseFrame(im, 2, 16383.75, 0.0, fullCodes);
    encodeNoiseFrame(im, 3, 0.0, -0.2, ulCodes);
    EXPECT_EQ(std::vector({frameBytes(im, 1), frameBytes(im, 2), frameBytes(im, 3)}),
              (std::vector<std::array<int, 4>>{
                  {0xFF, 0xFF, 0x00, 0x00}, {0x00, 0x40, 0x00, 0x00}, {0x01, 0x00, 0xFE, 0xFF}}));
}

TEST(RandomTable, NewrandomNeverReturnsEntry101AndIndexZeroIsSilent) {
    std::vector<float> v;
    for (int i = 0; i < 102; ++i)
        v.push_back(static_cast<float>(i) / 128.0f);
    ListSource src(v, 0.99999994f); // the largest float below 1: floor(101 r) = 100
    NoiseState st;
    initialize(st, src);
    EXPECT_EQ(newrandom(st, src), 100.0 / 128.0);
    // A drawn index 0 is silence. Draws: 102 for the table, 4 per white value for
    // 2 × 176400 values, then the index draws, left first.
    ListSource zero({}, 0.25f, 102 + 4 * 2 * 176400);
    FileImage im(3000000);
    noisedatacalc(st, zero, im);
    // Every white value is 0.25 − 0.5; index 44100 gives −8191.875 → 57343.
    EXPECT_EQ(frameBytes(im, 1), (std::array<int, 4>{0x00, 0x00, 0xFF, 0xDF}));
    EXPECT_EQ(std::tuple(st.noiseL[1], st.noiseL[2]), std::tuple(0.0, -8191.875));
}

// The stored coefficients carry 15 significant digits of their designs
// (noise_designs.h); a digit changed anywhere above that moves samples in
// the files.
TEST(NoiseFilters, CoefficientsAreTheirDesigns) {
    auto expectClose = [](const Section& got, const Section& want, const std::string& name) {
        for (std::size_t k = 0; k < 5; ++k) {
            EXPECT_NEAR(got.b[k], want.b[k], 1e-14 * std::fabs(want.b[k])) << name << " b" << k;
            EXPECT_NEAR(got.a[k], want.a[k], 1e-14 * std::fabs(want.a[k])) << name << " a" << k;
        }
    };
    for (std::size_t i = 0; i < 2; ++i) {
        expectClose(iecSections()[i], noisetest::iecDesign()[i], "IEC " + std::to_string(i));
        expectClose(subSections()[i], noisetest::subDesign()[i], "SUB " + std::to_string(i));
    }
    expectClose(pinkHighPass(), noisetest::pinkHighPassDesign(), "pink high-pass");
    expectClose(ulHighPass(), noisetest::ulHighPassDesign(), "UL high-pass");
    for (std::size_t i = 0; i < 7; ++i)
        expectClose(pinkSections()[i], noisetest::pinkBankDesign()[i],
                    "pink bank " + std::to_string(i));
}

// Quiet everywhere: S = 1 and E = 44100 − D − M − 1 (D, M 1000, 1000 and 6000, 4000).
TEST(NoiseFilters, SilenceGivesZeroFramesAndTheWholeStretch) {
    for (auto [filter, E] : {std::pair{&iecfilter, 42099}, std::pair{&subfilter, 34099}}) {
        NoiseState st;
        FileImage im(3000000);
        for (std::size_t k = 1; k <= 705644; ++k)
            im[k] = 0xAA;
        filter(st, im);
        EXPECT_EQ(std::tuple(st.S, st.E), std::tuple(1, E));
        for (std::size_t k = 45; k <= 44 + 4 * static_cast<std::size_t>(E - 1); ++k)
            ASSERT_EQ(im[k], 0) << k;
    }
}

TEST(NoiseFilters, ConstantThroughTheLowPassesAndTheHighPasses) {
    constexpr EngineLimits wide{32766.0, -32766.0, 32766.0};
    // The low-passes' DC gains, (b0 + b1 + b2) / (1 + a1 + a2): 4 and 1.
    for (auto [lp, gain] : {std::pair{subSections()[0], 4.0}, {iecSections()[0], 1.0}})
        for (double c : {1000.0, -2500.0, 8000.0}) {
            std::vector<double> w(44101, c);
            runSections(std::span(&lp, 1), w, 44100, wide);
            for (std::size_t i = 5000; i <= 44090; i += 997)
                ASSERT_NEAR(w[i], gain * c, 1e-6) << gain << " " << c << " at " << i;
        }
    for (Section hp : {iecSections()[1], pinkHighPass(), ulHighPass()}) {
        std::vector<double> w(44101, 3000.0), acc(44101, 0.0);
        runSections(std::span(&hp, 1), w, 44100, {32768.0, -32768.0, 32767.0}, acc);
        EXPECT_NE(acc[100], 0.0);
        for (std::size_t i = 20000; i <= 44090; ++i)
            ASSERT_EQ(acc[i], 0.0) << i;
    }
}

TEST(NoiseFilters, PinkBankLeavesZerosAtBothEnds) {
    NoiseState st;
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        st.noiseL[i] = 10000.0 * std::sin(0.37 * static_cast<double>(i));
        st.noiseR[i] = -7000.0 * std::cos(0.011 * static_cast<double>(i));
    }
    pinkfilter(st);
    for (std::size_t i : {1, 2, 3, 4, 176331, 176350, 176400})
        EXPECT_EQ(std::tuple(st.noiseL[i], st.noiseR[i]), std::tuple(0.0, 0.0)) << i;
    EXPECT_NE(st.noiseL[5], 0.0);
    EXPECT_NE(st.noiseR[176330], 0.0);
}

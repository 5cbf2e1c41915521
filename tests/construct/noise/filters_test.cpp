#include "construct/noise/noise_filters.h"
#include "construct/noise/noise_frame.h"

#include <gtest/gtest.h>

using namespace qelvar::noise;
using qelvar::wav::FileImage;

namespace {

std::uint32_t field32(const FileImage& im, std::size_t first) {
    return im[first] | (im[first + 1] << 8) | (im[first + 2] << 16) |
           (static_cast<std::uint32_t>(im[first + 3]) << 24);
}

FileImage markedImage() {
    FileImage im(3000000);
    for (std::size_t k = 1; k <= 705644; ++k)
        im[k] = 0xAA;
    return im;
}

// A one-second stretch of loud samples with chosen quiet points.
std::vector<double> loud(double level) {
    std::vector<double> w(44101, level);
    w[0] = 0.0;
    return w;
}

} // namespace

TEST(Trim, SilenceKeepsTheWholeStretch) {
    // Quiet everywhere: S = 1 and E = 44100 − D − M − 1.
    for (auto [D, M] : {std::pair{1000, 1000}, std::pair{6000, 4000}}) {
        std::vector<double> w(44101, 0.0);
        Trim t = trimQuiet(w, D, M);
        EXPECT_EQ(t.S, 1);
        EXPECT_EQ(t.E, 44100 - D - M - 1);
    }
}

TEST(Trim, CutsAtQuietPointsWithFades) {
    // Original samples 1050 and 41000 are the only quiet ones; after the
    // 1000-sample settling drop they sit at 50 and 40000.
    auto w = loud(1000.0);
    w[1050] = 0.0;
    w[41000] = 99.0;
    w[44000] = 0.0; // inside the cleared tail: no effect
    Trim t = trimQuiet(w, 1000, 1000);
    EXPECT_EQ(t.S, 50);
    EXPECT_EQ(t.E, 40000);
    for (int i = 1; i <= 51; ++i)
        ASSERT_EQ(w[i], 0.0) << i;
    EXPECT_EQ(w[52], 5.0);    // (2 − 1) · 1000 / 200
    EXPECT_EQ(w[250], 995.0); // 199 · 1000 / 200
    EXPECT_EQ(w[251], 1000.0);
    EXPECT_EQ(w[39799], 1000.0);
    EXPECT_DOUBLE_EQ(w[39800], 1000.0); // (200 · 1000) · 0.005
    EXPECT_DOUBLE_EQ(w[39900], 500.0);
    EXPECT_DOUBLE_EQ(w[39999], 5.0);
    for (int i = 40000; i <= 44100; ++i)
        ASSERT_EQ(w[i], 0.0) << i;
}

TEST(Trim, NoQuietPointStopsAtElementOne) {
    // Without a quiet point the end search would run below the buffer and
    // the fade-out start 200 samples before it.
    auto w = loud(-5000.0);
    Trim t = trimQuiet(w, 1000, 1000);
    EXPECT_EQ(t.E, 1);
    EXPECT_EQ(t.S, 1);
    for (int i = 1; i <= 43100; ++i)
        ASSERT_EQ(w[i], 0.0) << i;
}

TEST(Trim, EndCloseToTheStartFadesFromElementOne) {
    // E = 101 leaves only 100 samples before it: the fade-out runs from
    // element 1, w(j) = (101 − j) · 1000 · 0.005, so the first quiet point
    // is 82 (95 < 100; 100 itself is not quiet).
    auto w = loud(1000.0);
    w[1101] = 0.0;
    Trim t = trimQuiet(w, 1000, 1000);
    EXPECT_EQ(t.E, 101);
    EXPECT_EQ(t.S, 82);
    EXPECT_EQ(w[81], 0.0);
    EXPECT_EQ(w[83], 0.0);
    EXPECT_DOUBLE_EQ(w[84], 85.0 / 200.0);
    EXPECT_EQ(w[101], 0.0);
}

TEST(BandNoise, SilenceGivesZeroFramesAndTheWholeStretch) {
    struct Case {
        void (*filter)(NoiseState&, FileImage&);
        int E;
    };
    for (Case c : {Case{iecfilter, 42099}, Case{subfilter, 34099}}) {
        NoiseState st;
        FileImage im = markedImage();
        c.filter(st, im);
        EXPECT_EQ(st.S, 1);
        EXPECT_EQ(st.E, c.E);
        const std::uint32_t N = static_cast<std::uint32_t>(c.E - 1);
        EXPECT_EQ(field32(im, 41), 4 * N - 44);
        EXPECT_EQ(field32(im, 5), 4 * N - 8);
        for (std::size_t k = 45; k <= 44 + 4 * N; ++k)
            ASSERT_EQ(im[k], 0) << k;
        EXPECT_EQ(im[45 + 4 * N], 0xAA); // bytes after frame N are not touched
    }
}

TEST(PinkNoise, SilenceGivesZeroFramesAndTheFixedSizes) {
    for (auto filter : {highpasspink, ulfilter, csafilter}) {
        NoiseState st;
        FileImage im = markedImage();
        pinkfilter(st);
        filter(st, im);
        EXPECT_EQ(field32(im, 41), 590516u);
        EXPECT_EQ(field32(im, 5), 590552u);
        int lo = filter == ulfilter ? 1 : 0;
        for (std::size_t k = 45; k <= 705644; k += 2) {
            ASSERT_EQ(im[k], lo) << k;
            ASSERT_EQ(im[k + 1], 0) << k;
        }
    }
}

TEST(PinkNoise, BankLeavesZerosAtBothEnds) {
    NoiseState st;
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        st.noiseL[i] = 10000.0 * std::sin(0.37 * static_cast<double>(i));
        st.noiseR[i] = -7000.0 * std::cos(0.011 * static_cast<double>(i));
    }
    pinkfilter(st);
    for (std::size_t i : {1, 2, 3, 4, 176331, 176350, 176400}) {
        EXPECT_EQ(st.noiseL[i], 0.0) << i;
        EXPECT_EQ(st.noiseR[i], 0.0) << i;
    }
    EXPECT_NE(st.noiseL[5], 0.0);
    EXPECT_NE(st.noiseR[176330], 0.0);
    // Twice a sum of rounded outputs: always an even whole number.
    for (std::size_t i = 1; i <= noiseFrames; ++i)
        ASSERT_EQ(std::fmod(st.noiseL[i], 2.0), 0.0) << i;
}

TEST(NoiseFilters, ImageTooSmallIsLeftAlone) {
    NoiseState st;
    FileImage im(60000);
    iecfilter(st, im);
    highpasspink(st, im);
    EXPECT_EQ(field32(im, 41), 0u);
}

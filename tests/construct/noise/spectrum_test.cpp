// Spectral checks of a fixed-seed run: the white file is flat, and the
// filtered files, measured as transfer functions from the white noise they
// were made from, have the slopes and corners their filters are built for.
#include "construct/noise/noise_run.h"
#include "noise_files.h"
#include "spectrum.h"

#include <gtest/gtest.h>

using namespace qelvar::noise;
using namespace noisetest;
using qelvar::wav::FileImage;

namespace {

std::uint64_t frozen() {
    return 3;
}

std::vector<std::uint8_t> bytesOf(const FileImage& im, std::size_t count) {
    auto s = im.fileBytes(count);
    return {s.begin(), s.end()};
}

// The routines of the run in its order, keeping the white and pink files.
// The band files (one second each) are measured over several fixed seeds,
// their transfer functions from the white noise summed.
class NoiseSpectra : public ::testing::Test {
  protected:
    static constexpr std::size_t bandFft = 16384;

    static void SetUpTestSuite() {
        FileImage im(3000000);
        NoiseState st;
        putNoiseHeader(im);
        for (std::uint64_t seed = 70; seed < 76; ++seed) {
            ClockedUniformSource rng(seed, &frozen);
            noisedatacalc(st, rng, im);
            white_ = bytesOf(im, 705644);
            iecfilter(st, im);
            add(iec_, bandTransfer(bytesOf(im, 176444), st.S, 1000));
            subfilter(st, im);
            add(sub_, bandTransfer(bytesOf(im, 176444), st.S, 6000));
        }
        pinkfilter(st);
        highpasspink(st, im);
        pink_ = bytesOf(im, 705644);
    }

    static void add(spectrum::Cross& into, const spectrum::Cross& c) {
        if (into.sxx.empty())
            into = c;
        else
            spectrum::accumulate(into, c);
    }

    // Transfer function from the white left channel to a band file, using
    // the middle of its kept stretch (away from the fades). Frame i of the
    // file is filtered sample S + i − 1 + D.
    static spectrum::Cross bandTransfer(const std::vector<std::uint8_t>& file, int S, int D) {
        std::size_t frames = le32(file, 40) / 4;
        std::size_t first = 300, count = frames - 600;
        auto y = channel(file, 0, first, count);
        auto x = channel(white_, 0, static_cast<std::size_t>(S + D) + first - 1, count);
        return spectrum::welch(x, y, bandFft);
    }

    static inline std::vector<std::uint8_t> white_, pink_;
    static inline spectrum::Cross iec_, sub_;
};

} // namespace

TEST_F(NoiseSpectra, WhiteIsFlatWithinOneDecibelPerOctave) {
    const std::size_t nfft = 4096;
    for (int ch = 0; ch < 2; ++ch) {
        auto x = channel(white_, ch, 1, 176400);
        auto c = spectrum::welch(x, x, nfft);
        double overall = spectrum::db(spectrum::bandPower(c.sxx, 50.0, 20000.0, nfft));
        for (double centre = 62.5; centre <= 16000.0; centre *= 2.0) {
            double lo = std::max(centre / std::sqrt(2.0), 50.0);
            double band = spectrum::db(spectrum::bandPower(c.sxx, lo, centre * 1.41, nfft));
            EXPECT_NEAR(band, overall, 1.0) << "channel " << ch << " at " << centre << " Hz";
        }
    }
}

TEST_F(NoiseSpectra, PinkFallsThreeDecibelsPerOctave) {
    // Pink frame n is filtered sample n + 6710 of the white noise.
    const std::size_t nfft = 8192, frames = 147629;
    for (int ch = 0; ch < 2; ++ch) {
        auto x = channel(white_, ch, 6711, frames);
        auto y = channel(pink_, ch, 1, frames);
        auto c = spectrum::welch(x, y, nfft);
        for (double f = 125.0; f < 4000.0; f *= 2.0) {
            double slope = spectrum::octaveDb(c, f, nfft);
            EXPECT_NEAR(slope, -3.0, 0.5) << "channel " << ch << " from " << f << " Hz";
        }
    }
}

TEST_F(NoiseSpectra, IecBandHasItsCornersAndSkirts) {
    const std::size_t nfft = bandFft;
    const auto& c = iec_;
    double peak = spectrum::gainDb(c, 155.0, nfft);
    EXPECT_NEAR(peak, 0.0, 0.3);
    EXPECT_NEAR(spectrum::gainDb(c, 40.0, nfft) - peak, -3.0, 0.5);
    EXPECT_NEAR(spectrum::gainDb(c, 600.0, nfft) - peak, -3.0, 0.5);
    // Second order on each side: about 12 dB an octave well outside the band.
    double low = spectrum::octaveDb(c, 10.0, nfft);
    double high = -spectrum::octaveDb(c, 1200.0, nfft);
    EXPECT_NEAR(low, 12.0, 1.5);
    EXPECT_NEAR(high, 12.0, 1.5);
}

TEST_F(NoiseSpectra, SubIsLoudBelow120HzAndFalls24DecibelsPerOctave) {
    const std::size_t nfft = bandFft;
    const auto& c = sub_;
    double flat = spectrum::gainDb(c, 20.0, nfft);
    EXPECT_NEAR(flat, 24.08, 0.5); // two sections of gain 4
    EXPECT_NEAR(spectrum::gainDb(c, 40.0, nfft), flat, 0.5);
    EXPECT_NEAR(spectrum::gainDb(c, 120.0, nfft) - flat, -6.0, 0.5);
    for (double f : {240.0, 480.0}) {
        double slope = spectrum::octaveDb(c, f, nfft);
        EXPECT_NEAR(slope, -24.0, 1.5) << "from " << f << " Hz";
    }
}

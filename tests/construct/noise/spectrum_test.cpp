// Fixed-seed runs: the filtered files, measured as transfer functions from
// their white noise, have their slopes and corners.
#include "construct/noise/noise_run.h"
#include "noise_files.h"

#include <gtest/gtest.h>

#include <complex>
#include <fftw3.h>
#include <numbers>

using namespace qelvar::noise;
using namespace noisetest;
using qelvar::wav::FileImage;
using cplx = std::complex<double>;

namespace {

// One-sided spectrum of n samples from x under a Hann window.
std::vector<cplx> spectrum(const double* x, std::size_t n) {
    std::vector<double> in(n);
    for (std::size_t i = 0; i < n; ++i)
        in[i] = x[i] * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                             static_cast<double>(n)));
    std::vector<cplx> out(n / 2 + 1);
    fftw_plan p = fftw_plan_dft_r2c_1d(static_cast<int>(n), in.data(),
                                       reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE);
    fftw_execute(p);
    fftw_destroy_plan(p);
    return out;
}

// Welch sums (Hann window, half overlap) of input power and conj(X)·Y.
struct Cross {
    std::size_t nfft;
    std::vector<double> sxx;
    std::vector<cplx> sxy;
    explicit Cross(std::size_t n) : nfft(n), sxx(n / 2 + 1), sxy(n / 2 + 1) {}
    void add(const std::vector<double>& x, const std::vector<double>& y) {
        for (std::size_t start = 0; start + nfft <= x.size(); start += nfft / 2) {
            const auto X = spectrum(&x[start], nfft), Y = spectrum(&y[start], nfft);
            for (std::size_t k = 0; k <= nfft / 2; ++k) {
                sxx[k] += std::norm(X[k]);
                sxy[k] += std::conj(X[k]) * Y[k];
            }
        }
    }
    std::size_t bin(double hz) const {
        return static_cast<std::size_t>(std::lround(hz * static_cast<double>(nfft) / 44100.0));
    }
    // Transfer magnitude in dB, H1 = Sxy / Sxx over the bins within ±4 %.
    double gainAt(std::size_t k) const {
        std::size_t half = std::max<std::size_t>(1, static_cast<std::size_t>(0.04 * k));
        cplx num = 0.0;
        double den = 0.0;
        for (std::size_t j = k - half; j <= k + half; ++j) {
            num += sxy[j];
            den += sxx[j];
        }
        return 20.0 * std::log10(std::abs(num) / den);
    }
    double gainDb(double hz) const { return gainAt(bin(hz)); }
    double octaveDb(double hz) const { return gainAt(2 * bin(hz)) - gainAt(bin(hz)); }
};

std::vector<std::uint8_t> bytesOf(const FileImage& im, std::size_t count) {
    auto s = im.fileBytes(count);
    return {s.begin(), s.end()};
}

// The run's routines over a few seeds, the band files' transfer functions summed.
class NoiseSpectra : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        FileImage im(3000000);
        NoiseState st;
        putNoiseHeader(im);
        for (std::uint64_t seed = 70; seed < 76; ++seed) {
            ClockedUniformSource rng(seed, [] { return std::uint64_t{3}; });
            noisedatacalc(st, rng, im);
            white_ = bytesOf(im, 705644);
            iecfilter(st, im);
            addBand(iec_, bytesOf(im, 176444), st.S + 1000);
            subfilter(st, im);
            addBand(sub_, bytesOf(im, 176444), st.S + 6000);
        }
        pinkfilter(st);
        highpasspink(st, im);
        pink_ = bytesOf(im, 705644);
    }
    // The middle of the band file's kept stretch: frame i is white sample first + i − 1.
    static void addBand(Cross& c, const std::vector<std::uint8_t>& file, int first) {
        std::size_t count = u32(file, 40) / 4 - 600;
        c.add(channel(white_, 0, static_cast<std::size_t>(first) + 299, count),
              channel(file, 0, 300, count));
    }
    static inline std::vector<std::uint8_t> white_, pink_;
    static inline Cross iec_{16384}, sub_{16384};
};

} // namespace

TEST_F(NoiseSpectra, PinkFallsThreeDecibelsPerOctave) {
    // Pink frame n is filtered sample n + 6710 of the white noise.
    for (int ch = 0; ch < 2; ++ch) {
        Cross c(8192);
        c.add(channel(white_, ch, 6711, 147629), channel(pink_, ch, 1, 147629));
        for (double f = 125.0; f < 4000.0; f *= 2.0)
            EXPECT_NEAR(c.octaveDb(f), -3.0, 0.5) << "channel " << ch << " from " << f << " Hz";
    }
}

TEST_F(NoiseSpectra, IecAndSubBandsHaveTheirCornersAndSkirts) {
    const double peak = iec_.gainDb(155.0);
    EXPECT_NEAR(peak, 0.0, 0.3);
    EXPECT_NEAR(iec_.gainDb(40.0) - peak, -3.0, 0.5);
    EXPECT_NEAR(iec_.gainDb(600.0) - peak, -3.0, 0.5);
    // Second order on each side: about 12 dB an octave well outside the band.
    EXPECT_NEAR(iec_.octaveDb(10.0), 12.0, 1.5);
    EXPECT_NEAR(-iec_.octaveDb(1200.0), 12.0, 1.5);
    // SUB is loud below 120 Hz and falls 24 dB an octave above.
    const double flat = sub_.gainDb(20.0);
    EXPECT_NEAR(flat, 24.08, 0.5); // two sections of gain 4
    EXPECT_NEAR(sub_.gainDb(40.0), flat, 0.5);
    EXPECT_NEAR(sub_.gainDb(120.0) - flat, -6.0, 0.5);
    for (double f : {240.0, 480.0})
        EXPECT_NEAR(sub_.octaveDb(f), -24.0, 1.5) << "from " << f << " Hz";
}

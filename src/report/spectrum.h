// The windowed power spectrum every figure of the report is read from.
//
// Window: 7-term Blackman-Harris. Its side lobes lie below -180 dB, so a
// full-scale fundamental leaks nothing measurable past its main lobe and
// the notch is simply that lobe (±7 bins): a -100 dB harmonic or a 16-bit
// noise floor (-98 dBFS) is read without the leakage of a 4-term window
// (side lobes at -92 dB, falling only 6 dB an octave) swamping it. The wide
// lobe costs nothing here: tones and products lie tens of bins apart.
#pragma once

#include <complex>
#include <cstddef>
#include <mutex>
#include <span>
#include <vector>

namespace qelvar::report {

// Half-width of the window's main lobe in bins (its first zero).
inline constexpr int kLobeBins = 7;

// Longer takes are analysed over their first this many samples: finer
// resolution would gain nothing and each length costs a cached FFT plan.
inline constexpr std::size_t kMaxSamples = std::size_t{1} << 20;

// FFTW's planner is not thread safe: every plan in the program is made and
// destroyed under this lock; executing a finished plan is safe anywhere.
std::mutex& fftwPlannerLock();

// Real FFTs of length n through plans made once a length and kept: `in`
// holds n samples, `out` n/2 + 1 bins. The inverse is unscaled (n times
// the samples) and overwrites its input.
void realFft(double* in, std::complex<double>* out, std::size_t n);
void realInverse(std::complex<double>* in, double* out, std::size_t n);

// dBFS of a mean-square power (a full-scale sine has 0.5): 10·log10(2p).
double dbfsOfPower(double power);

struct Peak {
    std::size_t bin = 0; // strongest bin
    double hz = 0;       // power-weighted centre of its lobe
    double power = 0;    // the lobe's power
};

class PowerSpectrum {
  public:
    // One-sided spectrum of x scaled so that a bin sum is mean-square power:
    // a sine of amplitude A sums to A²/2 over its lobe, white noise of
    // variance s² to s² over 0..rate/2.
    PowerSpectrum(std::span<const double> x, double rate);

    double binHz() const { return binHz_; }
    double nyquist() const { return binHz_ * double(power_.size() - 1); }
    std::span<const double> bins() const { return power_; }
    // Nearest bin to hz, clamped to the spectrum.
    std::size_t binOf(double hz) const;
    // Power summed over the main lobe around bin `centre`.
    double lobePower(std::size_t centre) const;
    // The strongest bin within ±searchHz of hz (at least ±2 lobes).
    Peak peakNear(double hz, double searchHz) const;
    // First and one-past-last bin of the audio band 20 Hz to 20 kHz (or
    // Nyquist), never reaching into the DC lobe.
    std::size_t bandBegin() const;
    std::size_t bandEnd() const;

  private:
    double binHz_ = 1;
    std::vector<double> power_;
};

} // namespace qelvar::report

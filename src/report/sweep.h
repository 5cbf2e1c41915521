// The whole response from one sweep: a synchronized exponential sine sweep
// (its instantaneous frequency f1·e^(t/L), with f1·L a whole number, so every
// harmonic's response lies at a fixed time before the linear one), and the
// take of it turned into the path's impulse response by spectral division.
// From the impulse: magnitude, phase and group delay at fine resolution, and
// the harmonics' levels against frequency.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace qelvar::report {

struct SweepPlan {
    double startHz = 10;
    double endHz = 0.45 * 44100;
    double seconds = 2; // asked for; the synchronized length is near it
    double rate = 44100;
    double peak = 0.5;    // of full scale (-6 dBFS)
    double fadeIn = 0.05; // seconds of raised-cosine fade at each end
    double fadeOut = 0.005;
};

struct Sweep {
    SweepPlan plan;
    double L = 0;       // seconds for the frequency to grow by e
    double seconds = 0; // its synchronized length, L·ln(f2/f1)
    std::vector<double> samples;
};

// The sweep for `plan`, with its fades.
Sweep makeSweep(const SweepPlan& plan);

// A path's response to a sweep.
struct SweepResponse {
    double rate = 44100;
    // The impulse response: index 0 is where the sound played comes back
    // (the take is lined up with the sweep); a path that rings before that
    // (a linear-phase converter) shows at the end, as negative time.
    std::vector<double> impulse;
    // Where its strongest sample lies (seconds; negative: before the sound
    // came back, which no path does: the take was placed too late).
    double peakSeconds = 0;
    // How far that peak stands above the impulse's noise (dB; a take that
    // holds nothing of the sweep stands little above it).
    double peakToNoiseDb = 300;
    // The linear part's spectrum, from 0 Hz in steps of binHz.
    std::vector<std::complex<double>> linear;
    double binHz = 1;
    // Each harmonic's response by the frequency played: harmonics[k - 2]
    // holds H_k(k·f) / H_1(f) at the bins of `linear` (k = 2 to 5; 0 where
    // k·f is beyond the sweep).
    std::vector<std::vector<std::complex<double>>> harmonics;
};

// The take of `sweep` (lined up: take[n] is what came back of sweep[n],
// with the path's tail after it) as the path's response. The linear
// impulse is read from `preSeconds` before its start to `postSeconds`
// after, never reaching the 2nd harmonic's. Read from 2 ms before, the
// band edge's ringing was cut short and the top 300 Hz read up to 0.04 dB
// low; from 20 ms they read within 0.0005 dB.
SweepResponse analyseSweep(const Sweep& sweep, const std::vector<double>& take,
                           double preSeconds = 0.02, double postSeconds = 0.45);

// Whether the take was lined up where the sound came back: a response
// that peaks more than a few frames before it cannot be the path's (a
// converter's pre-ringing stays below its peak).
bool linedUp(const SweepResponse& r);
// Whether the take holds the sweep at all: its response stands at least
// kHeardDb above the noise the deconvolution leaves (a 2-s sweep gains
// about 49 dB over a sample's own signal-to-noise ratio; the largest of
// 100 000 samples of noise stands about 13 dB above their mean).
bool heard(const SweepResponse& r);
inline constexpr double kHeardDb = 30;
inline constexpr double kEarlyFrames = 8;

// Magnitude in dB, phase in degrees (unwrapped from the lowest frequency
// of the sweep up), and group delay in seconds of a response at `hz`.
double magnitudeDb(const SweepResponse& r, double hz);
std::vector<double> unwrappedPhaseDeg(const SweepResponse& r);
std::vector<double> groupDelay(const SweepResponse& r);

// Averaged over a band 1/`fraction` octave wide around each bin (power
// average; `fraction` 0: as it is).
std::vector<double> smoothedDb(const SweepResponse& r, int fraction);

} // namespace qelvar::report

#include "report/tone_figures.h"

#include "report/spectrum.h"
#include "report/take_checks.h"
#include "report/weighting.h"

#include <cmath>

namespace qelvar::report {

namespace {

constexpr double kSearch = 0.03; // of the expected frequency

double ratioDb(double num, double den) {
    return den > 0 && num > 0 ? 10 * std::log10(num / den) : -HUGE_VAL;
}
double ratioPercent(double num, double den) {
    return den > 0 ? 100 * std::sqrt(num / den) : 0;
}

// THD counts the 2nd to 10th harmonics below 20 kHz whose whole lobe lies
// below Nyquist. Above 20 kHz a card's anti-alias filter, not its
// distortion, sets the level; the band limit also keeps THD within THD+N.
double harmonicPower(const PowerSpectrum& s, double f0, int& counted) {
    double sum = 0;
    counted = 0;
    for (int h = 2; h <= 10; ++h) {
        const double f = h * f0;
        if (f > 20000 || f + kLobeBins * s.binHz() >= s.nyquist())
            break;
        sum += s.lobePower(s.binOf(f));
        ++counted;
    }
    return sum;
}

} // namespace

// THD+N by notch in the spectrum: the residual is every bin of the audio
// band outside the fundamental's main lobe. With the window's side lobes
// below -180 dB nothing of the fundamental remains outside that lobe, so
// this equals a sine fit's residual without the fit's iterations.
ToneFigures analyseTone(std::span<const double> x, double rate, double expectedHz) {
    ToneFigures t;
    const PowerSpectrum s(x, rate);
    const Peak f = s.peakNear(expectedHz, kSearch * expectedHz);
    t.fundamentalHz = f.hz;
    t.fundamentalDbfs = dbfsOfPower(f.power);
    const double residual = bandPower(s, Weighting::None, f.bin);
    t.thdnDb = ratioDb(residual, f.power);
    t.thdnPercent = ratioPercent(residual, f.power);
    const double harmonics = harmonicPower(s, f.hz, t.harmonics);
    t.thdDb = ratioDb(harmonics, f.power);
    t.thdPercent = ratioPercent(harmonics, f.power);
    addLevelWarnings(x, t.fundamentalDbfs, t.warnings);
    return t;
}

DynamicRangeFigures analyseDynamicRange(std::span<const double> x, double rate, double toneHz) {
    DynamicRangeFigures d;
    const PowerSpectrum s(x, rate);
    const Peak f = s.peakNear(toneHz, kSearch * toneHz);
    d.toneDbfs = dbfsOfPower(f.power);
    d.drDb = -dbfsOfPower(bandPower(s, Weighting::A, f.bin));
    d.drUnweightedDb = -dbfsOfPower(bandPower(s, Weighting::None, f.bin));
    addLevelWarnings(x, d.toneDbfs, d.warnings);
    if (std::fabs(d.toneDbfs + 60) > 3)
        d.warnings.push_back("tone at " + fixedText(d.toneDbfs, 1) +
                             " dBFS, not -60: the figure is not a dynamic range");
    return d;
}

} // namespace qelvar::report

#include "report/imd.h"

#include "report/spectrum.h"
#include "report/take_checks.h"

#include <algorithm>
#include <cmath>

namespace qelvar::report {

namespace {

constexpr double kSearch = 0.03; // of each expected frequency

double amplitudeDb(double ratio) {
    return ratio > 0 ? 20 * std::log10(ratio) : -HUGE_VAL;
}

// Amplitude of whatever lies in the lobe at hz; 0 off the spectrum.
double amplitudeAt(const PowerSpectrum& s, double hz) {
    if (hz <= kLobeBins * s.binHz() || hz + kLobeBins * s.binHz() >= s.nyquist())
        return 0;
    return std::sqrt(2 * s.lobePower(s.binOf(hz)));
}

// Products closer than two lobes to their neighbours would be summed twice.
void addSpacingWarning(const PowerSpectrum& s, double spacingHz, std::vector<std::string>& w) {
    if (spacingHz < 2 * kLobeBins * s.binHz())
        w.push_back("take too short to part tones " + fixedText(spacingHz, 0) + " Hz apart");
}

} // namespace

SmpteFigures analyseSmpte(std::span<const double> x, double rate, double lowHz, double highHz) {
    SmpteFigures m;
    const PowerSpectrum s(x, rate);
    const Peak low = s.peakNear(lowHz, kSearch * lowHz);
    const Peak high = s.peakNear(highHz, kSearch * highHz);
    m.lowDbfs = dbfsOfPower(low.power);
    m.highDbfs = dbfsOfPower(high.power);
    double sidebands = 0;
    for (int n = 1; n <= 3; ++n)
        for (double side : {high.hz - n * low.hz, high.hz + n * low.hz})
            sidebands += std::pow(amplitudeAt(s, side), 2);
    const double ratio = high.power > 0 ? std::sqrt(sidebands / (2 * high.power)) : 0;
    m.imdDb = amplitudeDb(ratio);
    m.imdPercent = 100 * ratio;
    addLevelWarnings(x, std::min(m.lowDbfs, m.highDbfs), m.warnings);
    addSpacingWarning(s, low.hz, m.warnings);
    return m;
}

CcifFigures analyseCcif(std::span<const double> x, double rate, double f1Hz, double f2Hz) {
    CcifFigures c;
    const PowerSpectrum s(x, rate);
    const Peak p1 = s.peakNear(f1Hz, kSearch * f1Hz);
    const Peak p2 = s.peakNear(f2Hz, kSearch * f2Hz);
    const double tones = std::sqrt(2 * p1.power) + std::sqrt(2 * p2.power);
    const double d2 = tones > 0 ? amplitudeAt(s, p2.hz - p1.hz) / tones : 0;
    const double d3 =
        tones > 0 ? (amplitudeAt(s, 2 * p1.hz - p2.hz) + amplitudeAt(s, 2 * p2.hz - p1.hz)) / tones
                  : 0;
    c.d2Db = amplitudeDb(d2);
    c.d2Percent = 100 * d2;
    c.d3Db = amplitudeDb(d3);
    c.d3Percent = 100 * d3;
    c.toneDbfs = dbfsOfPower(std::min(p1.power, p2.power));
    addLevelWarnings(x, c.toneDbfs, c.warnings);
    addSpacingWarning(s, p2.hz - p1.hz, c.warnings);
    return c;
}

} // namespace qelvar::report

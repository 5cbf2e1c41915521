#include "report/weighting.h"

#include <cmath>

namespace qelvar::report {

namespace {
// The curve's pole frequencies and its normalisation to 0 dB at 1 kHz.
constexpr double kF1 = 20.598997, kF2 = 107.65265, kF3 = 737.86223, kF4 = 12194.217;
constexpr double kNormDb = 2.000;
} // namespace

double aWeightingPower(double hz) {
    const double f2 = hz * hz;
    const double num = kF4 * kF4 * f2 * f2;
    const double den =
        (f2 + kF1 * kF1) * std::sqrt((f2 + kF2 * kF2) * (f2 + kF3 * kF3)) * (f2 + kF4 * kF4);
    const double r = num / den;
    return r * r * std::pow(10.0, kNormDb / 10);
}

double aWeightingDb(double hz) {
    const double p = aWeightingPower(hz);
    return p > 0 ? 10 * std::log10(p) : -HUGE_VAL;
}

} // namespace qelvar::report

namespace qelvar::report {

double bandPower(const PowerSpectrum& s, Weighting w, std::optional<std::size_t> notch) {
    const auto bins = s.bins();
    double sum = 0;
    for (std::size_t k = s.bandBegin(); k < s.bandEnd(); ++k) {
        if (notch && (k > *notch ? k - *notch : *notch - k) <= std::size_t(kLobeBins))
            continue;
        sum += w == Weighting::A ? bins[k] * aWeightingPower(double(k) * s.binHz()) : bins[k];
    }
    return sum;
}

} // namespace qelvar::report

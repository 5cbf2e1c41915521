#include "report/noise_figures.h"

#include "report/spectrum.h"
#include "report/take_checks.h"
#include "report/weighting.h"

namespace qelvar::report {

NoiseFigures analyseNoise(std::span<const double> x, double rate) {
    NoiseFigures n;
    const PowerSpectrum s(x, rate);
    n.unweightedDbfs = dbfsOfPower(bandPower(s, Weighting::None));
    n.aWeightedDbfs = dbfsOfPower(bandPower(s, Weighting::A));
    addClipWarning(x, n.warnings);
    return n;
}

} // namespace qelvar::report

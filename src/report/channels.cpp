#include "report/channels.h"

#include "report/spectrum.h"
#include "report/take_checks.h"

#include <algorithm>
#include <cmath>

namespace qelvar::report {

StereoTake splitStereo(std::span<const std::int32_t> interleaved, double fullScale) {
    StereoTake t;
    t.left.reserve(interleaved.size() / 2);
    t.right.reserve(interleaved.size() / 2);
    for (std::size_t k = 0; k + 1 < interleaved.size(); k += 2) {
        t.left.push_back(interleaved[k] / fullScale);
        t.right.push_back(interleaved[k + 1] / fullScale);
    }
    return t;
}

CrosstalkFigures analyseCrosstalk(std::span<const double> driven, std::span<const double> undriven,
                                  double rate, double toneHz) {
    CrosstalkFigures c;
    const PowerSpectrum d(driven, rate);
    const PowerSpectrum u(undriven, rate);
    const Peak tone = d.peakNear(toneHz, 0.03 * toneHz);
    const double leak = u.lobePower(tone.bin);
    c.drivenDbfs = dbfsOfPower(tone.power);
    c.crosstalkDb = tone.power > 0 && leak > 0 ? 10 * std::log10(leak / tone.power) : -HUGE_VAL;
    addLevelWarnings(driven, c.drivenDbfs, c.warnings);
    addClipWarning(undriven, c.warnings);
    return c;
}

namespace {

struct Projection {
    double amplitude = 0; // signed: the played channel's share of the take
    double corr = 0;      // normalised correlation
};

Projection project(std::span<const double> take, std::span<const double> played) {
    const std::size_t n = std::min(take.size(), played.size());
    double tp = 0, pp = 0, tt = 0;
    for (std::size_t i = 0; i < n; ++i) {
        tp += take[i] * played[i];
        pp += played[i] * played[i];
        tt += take[i] * take[i];
    }
    Projection p;
    if (pp > 0)
        p.amplitude = tp / std::sqrt(pp);
    if (pp > 0 && tt > 0)
        p.corr = tp / std::sqrt(pp * tt);
    return p;
}

// Below this correlation a channel counts as carrying its signal inverted.
constexpr double kInvertedCorr = -0.5;

} // namespace

PlayedCheck compareWithPlayed(const StereoTake& take, const StereoTake& played) {
    PlayedCheck c;
    const Projection ll = project(take.left, played.left);
    const Projection rr = project(take.right, played.right);
    const Projection lr = project(take.left, played.right);
    const Projection rl = project(take.right, played.left);
    const double straight = std::fabs(ll.amplitude) + std::fabs(rr.amplitude);
    const double crossed = std::fabs(lr.amplitude) + std::fabs(rl.amplitude);
    c.swapped = crossed > 2 * straight;
    // Inversion is judged on the channel each played signal actually reached.
    c.leftInverted = (c.swapped ? rl : ll).corr < kInvertedCorr;
    c.rightInverted = (c.swapped ? lr : rr).corr < kInvertedCorr;
    if (c.swapped)
        c.warnings.push_back("channels swapped: left came back on the right");
    if (c.leftInverted)
        c.warnings.push_back("left channel inverted");
    if (c.rightInverted)
        c.warnings.push_back("right channel inverted");
    return c;
}

} // namespace qelvar::report

#include "report/channels.h"

#include "report/spectrum.h"
#include "report/take_checks.h"

#include <algorithm>
#include <cmath>

namespace qelvar::report {

StereoTake splitFrames(std::span<const std::uint64_t> frames) {
    StereoTake t;
    t.left.reserve(frames.size());
    t.right.reserve(frames.size());
    for (std::uint64_t f : frames) {
        t.left.push_back(static_cast<std::int32_t>(f & 0xFFFFFFFFu) / 2147483648.0);
        t.right.push_back(static_cast<std::int32_t>(f >> 32) / 2147483648.0);
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

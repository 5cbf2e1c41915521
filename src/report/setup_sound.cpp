#include "report/setup_sound.h"

#include "report/channels.h"
#include "report/figures.h"
#include "report/spectrum.h"
#include "report/tone_figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

namespace qelvar::report {
namespace {

using audio::SetupNote;

const char* side(int ch) {
    return ch == 0 ? "left" : "right";
}

std::string db(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

const Segment* find(const Signal& s, Part part) {
    for (const Segment& g : s.segments)
        if (g.part == part)
            return &g;
    return nullptr;
}

double peakDbfs(const std::vector<double>& x) {
    double p = 0;
    for (double v : x)
        p = std::max(p, std::abs(v));
    return 20 * std::log10(std::max(p, 1e-30));
}

// The reference tone: clipping, too little gain, a channel that carries
// nothing. Returns which channels are alive.
std::array<bool, 2> levels(const StereoTake& t, const Segment& g, std::vector<SetupNote>& out) {
    std::array<bool, 2> alive{};
    std::array<double, 2> tone{};
    for (int ch = 0; ch < 2; ++ch) {
        const auto& x = ch == 0 ? t.left : t.right;
        tone[ch] = analyseTone(x, kRate, g.hz).fundamentalDbfs;
        alive[ch] = tone[ch] > kDeadDbfs;
    }
    if (!alive[0] && !alive[1]) {
        out.push_back({true, "nothing of the 1 kHz tone came back on either input channel; check "
                             "the cable and that the input is the one the output is wired to"});
        return alive;
    }
    for (int ch = 0; ch < 2; ++ch) {
        const std::string s = side(ch);
        const double peak = peakDbfs(ch == 0 ? t.left : t.right);
        if (!alive[ch])
            out.push_back({true, "nothing of the 1 kHz tone came back on the " + s +
                                     " input channel; check its cable, or a device that drops "
                                     "that channel"});
        else if (peak >= kNearFullScaleDbfs)
            out.push_back(
                {true, "the " + s + " input peaks at " + db(peak) +
                           " dBFS with the 1 kHz tone at -3 dBFS, at or near full scale, so it "
                           "may clip; lower the input's gain (or the output's volume) by " +
                           db(peak - g.peakDb) + " dB or more"});
        else if (tone[ch] < g.peakDb - kTooLowDb)
            out.push_back({true, "the 1 kHz tone at -3 dBFS comes back at " + db(tone[ch]) +
                                     " dBFS on the " + s + ", " + db(g.peakDb - tone[ch]) +
                                     " dB low, and the noise and distortion figures suffer for "
                                     "it; raise the input's gain or the output's volume"});
    }
    return alive;
}

// The one-sided tones and the reference: swapped, inverted, one input on
// both channels.
void wiring(const Signal& s, const std::vector<std::int32_t>& take, std::array<bool, 2> alive,
            std::vector<SetupNote>& out) {
    const Segment* ref = find(s, Part::Reference);
    const Segment* left = find(s, Part::LeftOnly);
    const Segment* right = find(s, Part::RightOnly);
    if (!alive[0] || !alive[1])
        return;
    if (left && right) {
        const StereoTake l = cut(take, *left, kTakeFullScale);
        const StereoTake r = cut(take, *right, kTakeFullScale);
        // An output channel that reaches neither input channel.
        bool lost = false;
        for (int ch = 0; ch < 2; ++ch) {
            const StereoTake& t = ch == 0 ? l : r;
            const double hz = (ch == 0 ? left : right)->hz;
            if (std::max(analyseTone(t.left, kRate, hz).fundamentalDbfs,
                         analyseTone(t.right, kRate, hz).fundamentalDbfs) < kDeadDbfs) {
                out.push_back({true, std::string("nothing played on the ") + side(ch) +
                                         " output comes back on either input channel; check "
                                         "that output's cable"});
                lost = true;
            }
        }
        if (lost)
            return;
        const double lInR = analyseCrosstalk(l.left, l.right, kRate, left->hz).crosstalkDb;
        const double rInL = analyseCrosstalk(r.right, r.left, kRate, right->hz).crosstalkDb;
        // The same sound on both channels both times: one input feeds both.
        if (std::abs(lInR) < 1 && std::abs(rInL) < 1) {
            out.push_back({true, "the input carries the same sound on both channels (a mono "
                                 "input, or one channel wired to both), so the right channel's "
                                 "figures are the left's; use a stereo input"});
            return;
        }
        if (compareWithPlayed(l, cut(s.samples, *left, kFullScale)).swapped)
            out.push_back({true, "the channels are swapped: what was played on the left came back "
                                 "on the right; swap the cables (or the device's channel map)"});
    }
    if (ref) {
        const PlayedCheck c =
            compareWithPlayed(cut(take, *ref, kTakeFullScale), cut(s.samples, *ref, kFullScale));
        if (c.leftInverted && c.rightInverted)
            out.push_back({false, "both channels come back inverted: the path reverses the "
                                  "polarity (many cards do), which no figure depends on"});
        else
            for (int ch = 0; ch < 2; ++ch)
                if (ch == 0 ? c.leftInverted : c.rightInverted)
                    out.push_back({true, std::string("the ") + side(ch) +
                                             " channel comes back inverted (its polarity "
                                             "reversed) and the other does not; check its cable "
                                             "and any plugin in the path"});
    }
}

// Mean power per bin between lo and hi Hz.
double meanPower(const PowerSpectrum& p, double lo, double hi) {
    const std::size_t a = p.binOf(lo), b = p.binOf(hi);
    if (b <= a)
        return 0;
    const auto bins = p.bins();
    return std::accumulate(bins.begin() + a, bins.begin() + b, 0.0) / double(b - a);
}

// Hum and DC in the silence: the strongest of 50 or 60 Hz and their 2nd
// and 3rd harmonics that stands clear of the noise around it.
void quiet(const StereoTake& t, std::vector<SetupNote>& out) {
    for (int ch = 0; ch < 2; ++ch) {
        const auto& x = ch == 0 ? t.left : t.right;
        if (x.empty())
            continue;
        const std::string s = side(ch);
        const double mean = std::accumulate(x.begin(), x.end(), 0.0) / double(x.size());
        const double dc = 20 * std::log10(std::max(std::abs(mean), 1e-30));
        if (dc > kDcDbfs)
            out.push_back({true, "the " + s + " input has a DC offset of " + db(dc) +
                                     " dBFS with nothing playing; a card with an offset this "
                                     "large needs its input AC-coupled"});
        const PowerSpectrum p(x, kRate);
        double worst = -1e9, worstHz = 0;
        for (double mains : {50.0, 60.0})
            for (int h = 1; h <= 3; ++h) {
                const double hz = mains * h;
                const std::size_t c = p.binOf(hz);
                const double lobe = p.lobePower(c);
                // The noise around the lobe, over a lobe's width.
                const double span = (2 * kLobeBins + 1) * p.binHz();
                const double noise = (meanPower(p, hz - 3 * span, hz - span) +
                                      meanPower(p, hz + span, hz + 3 * span)) /
                                     2 * (2 * kLobeBins + 1);
                const double level = dbfsOfPower(lobe);
                if (level > kHumDbfs && level > dbfsOfPower(noise) + kHumAboveNoiseDb &&
                    level > worst) {
                    worst = level;
                    worstHz = hz;
                }
            }
        if (worstHz > 0)
            out.push_back({true, "hum at " + std::to_string(std::lround(worstHz)) + " Hz, " +
                                     db(worst) + " dBFS, in the " + s +
                                     " input with nothing playing; look for a ground loop (one "
                                     "mains socket for the computer and the device, or a "
                                     "ground-loop isolator)"});
    }
}

} // namespace

std::vector<SetupNote> soundChecks(const Signal& signal, const std::vector<std::int32_t>& take) {
    std::vector<SetupNote> out;
    std::array<bool, 2> alive{true, true};
    if (const Segment* ref = find(signal, Part::Reference))
        alive = levels(cut(take, *ref, kTakeFullScale), *ref, out);
    wiring(signal, take, alive, out);
    if (const Segment* q = find(signal, Part::Silence))
        quiet(cut(take, *q, kTakeFullScale), out);
    return out;
}

} // namespace qelvar::report

#include "report/figures.h"

#include "report/channels.h"
#include "report/imd.h"
#include "report/noise_figures.h"
#include "report/spectrum.h"
#include "report/sweep.h"
#include "report/sweep_take.h"
#include "report/tone_figures.h"

#include <algorithm>
#include <cmath>

namespace qelvar::report {
namespace {

// Lower than any take of 24 bits can show: a figure below it says only
// that nothing was found.
constexpr double kFloorDb = -150;

struct Adder {
    Report& r;
    void operator()(std::string key, std::string label, double value, std::string unit,
                    const std::vector<std::string>& warnings) {
        Figure f{std::move(key), std::move(label), value, std::move(unit), warnings};
        if (!std::isfinite(f.value) || f.value < kFloorDb) {
            f.value = kFloorDb;
            f.warnings.push_back("below what the take can show");
        }
        r.figures.push_back(std::move(f));
    }
};

const char* side(int ch) {
    return ch == 0 ? "left" : "right";
}

void tone(const StereoTake& t, const Segment& g, Adder& add) {
    for (int ch = 0; ch < 2; ++ch) {
        const auto f = analyseTone(ch == 0 ? t.left : t.right, kRate, g.hz);
        const std::string s = side(ch);
        add("level_1k_" + s + "_db", std::string("Level, 1 kHz, ") + side(ch),
            f.fundamentalDbfs - g.peakDb, "dB", f.warnings);
        add("thdn_1k_" + s + "_db", std::string("THD+N, 1 kHz, ") + side(ch), f.thdnDb, "dB",
            f.warnings);
        add("thdn_1k_" + s + "_pct", std::string("THD+N, 1 kHz, ") + side(ch), f.thdnPercent, "%",
            f.warnings);
        add("thd_1k_" + s + "_db", std::string("THD, 1 kHz, ") + side(ch), f.thdDb, "dB",
            f.warnings);
    }
}

void sweepRow(const StereoTake& t, const Segment& g, Report& r) {
    const auto l = analyseTone(t.left, kRate, g.hz);
    const auto rt = analyseTone(t.right, kRate, g.hz);
    SweepRow row{
        g.hz, l.fundamentalDbfs - g.peakDb, rt.fundamentalDbfs - g.peakDb, l.thdnDb, rt.thdnDb, {}};
    for (const auto* w : {&l.warnings, &rt.warnings})
        row.warnings.insert(row.warnings.end(), w->begin(), w->end());
    r.sweep.push_back(row);
}

void others(const StereoTake& t, const Segment& g, Adder& add) {
    for (int ch = 0; ch < 2 && g.part != Part::LeftOnly && g.part != Part::RightOnly; ++ch) {
        const auto& x = ch == 0 ? t.left : t.right;
        const std::string s = side(ch);
        if (g.part == Part::Quiet) {
            const auto d = analyseDynamicRange(x, kRate, g.hz);
            add("dynamic_range_" + s + "_db", "Dynamic range (A), " + s, d.drDb, "dB", d.warnings);
            add("dynamic_range_unweighted_" + s + "_db", "Dynamic range, " + s, d.drUnweightedDb,
                "dB", d.warnings);
        } else if (g.part == Part::Silence) {
            const auto n = analyseNoise(x, kRate);
            add("noise_" + s + "_dbfs", "Noise, " + s, n.unweightedDbfs, "dBFS", n.warnings);
            add("noise_a_" + s + "_dbfs", "Noise (A), " + s, n.aWeightedDbfs, "dBFS(A)",
                n.warnings);
        } else if (g.part == Part::Smpte) {
            const auto m = analyseSmpte(x, kRate, g.hz, g.hz2);
            add("imd_smpte_" + s + "_db", "IMD SMPTE, " + s, m.imdDb, "dB", m.warnings);
            add("imd_smpte_" + s + "_pct", "IMD SMPTE, " + s, m.imdPercent, "%", m.warnings);
        } else if (g.part == Part::Ccif) {
            const auto m = analyseCcif(x, kRate, g.hz, g.hz2);
            add("imd_ccif_d2_" + s + "_db", "IMD CCIF d2, " + s, m.d2Db, "dB", m.warnings);
            add("imd_ccif_d3_" + s + "_db", "IMD CCIF d3, " + s, m.d3Db, "dB", m.warnings);
            add("imd_ccif_d2_" + s + "_pct", "IMD CCIF d2, " + s, m.d2Percent, "%", m.warnings);
            add("imd_ccif_d3_" + s + "_pct", "IMD CCIF d3, " + s, m.d3Percent, "%", m.warnings);
        }
    }
    // 1 kHz keeps the key it has always had; 100 Hz and 10 kHz say theirs.
    const std::string at = g.hz == 1000 ? "" : g.hz == 100 ? "_100" : "_10k";
    const std::string label = g.hz == 1000 ? "" : g.hz == 100 ? ", 100 Hz" : ", 10 kHz";
    if (g.part == Part::LeftOnly) {
        const auto c = analyseCrosstalk(t.left, t.right, kRate, g.hz);
        add("crosstalk_l_to_r" + at + "_db", "Crosstalk, left to right" + label, c.crosstalkDb,
            "dB", c.warnings);
    } else if (g.part == Part::RightOnly) {
        const auto c = analyseCrosstalk(t.right, t.left, kRate, g.hz);
        add("crosstalk_r_to_l" + at + "_db", "Crosstalk, right to left" + label, c.crosstalkDb,
            "dB", c.warnings);
    }
}

// Polarity from the reference tone (both channels carry it), swapped
// channels from the one-sided tones.
void checkWiring(const Signal& s, const std::vector<std::int32_t>& take, Report& r) {
    PlayedCheck both, oneSided;
    for (const auto& g : s.segments) {
        if (g.part == Part::Reference)
            both = compareWithPlayed(cut(take, g, kTakeFullScale), cut(s.samples, g, kFullScale));
        if (g.part == Part::LeftOnly && g.hz == 1000)
            oneSided =
                compareWithPlayed(cut(take, g, kTakeFullScale), cut(s.samples, g, kFullScale));
    }
    const bool inverted = both.leftInverted || both.rightInverted;
    r.conditions.polarity = inverted ? "inverted" : "normal";
    r.conditions.channelsSwapped = oneSided.swapped;
    std::vector<std::string> w;
    if (inverted)
        w.push_back(both.leftInverted && both.rightInverted ? "polarity inverted"
                    : both.leftInverted                     ? "polarity inverted on the left"
                                                            : "polarity inverted on the right");
    if (oneSided.swapped)
        w.push_back("channels swapped");
    for (auto& f : r.figures)
        f.warnings.insert(f.warnings.end(), w.begin(), w.end());
    for (auto& row : r.sweep)
        row.warnings.insert(row.warnings.end(), w.begin(), w.end());
}

} // namespace

StereoTake cut(const std::vector<std::int32_t>& stereo, const Segment& g, double full) {
    const auto first = std::min(stereo.size(), 2 * static_cast<std::size_t>(g.analyseFirst()));
    const auto n = std::min(stereo.size() - first, 2 * static_cast<std::size_t>(g.analyseFrames()));
    return splitStereo(std::span(stereo).subspan(first, n), full);
}

const std::vector<std::string>& figureKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const char* s : {"left", "right"})
            for (const char* f : {"level_1k_%_db", "thdn_1k_%_db", "thdn_1k_%_pct", "thd_1k_%_db"})
                k.push_back(std::string(f).replace(std::string(f).find('%'), 1, s));
        for (const char* f : {"dynamic_range_%_db", "dynamic_range_unweighted_%_db", "noise_%_dbfs",
                              "noise_a_%_dbfs"})
            for (const char* s : {"left", "right"})
                k.push_back(std::string(f).replace(std::string(f).find('%'), 1, s));
        k.insert(k.end(),
                 {"crosstalk_l_to_r_db", "crosstalk_r_to_l_db", "crosstalk_l_to_r_100_db",
                  "crosstalk_r_to_l_100_db", "crosstalk_l_to_r_10k_db", "crosstalk_r_to_l_10k_db"});
        for (const char* f : {"imd_smpte_%_db", "imd_smpte_%_pct", "imd_ccif_d2_%_db",
                              "imd_ccif_d2_%_pct", "imd_ccif_d3_%_db", "imd_ccif_d3_%_pct"})
            for (const char* s : {"left", "right"})
                k.push_back(std::string(f).replace(std::string(f).find('%'), 1, s));
        for (const char* f :
             {"response_flatness_%_db", "response_low_3db_%_hz", "response_high_3db_%_hz"})
            for (const char* s : {"left", "right"})
                k.push_back(std::string(f).replace(std::string(f).find('%'), 1, s));
        return k;
    }();
    return keys;
}

namespace {

SpectrumPlot spectrumPlot(std::span<const double> x, std::string title) {
    const PowerSpectrum s(x, kRate);
    const auto bins = s.bins();
    // Lobe sums from a running total.
    std::vector<double> total(bins.size() + 1, 0.0);
    for (std::size_t k = 0; k < bins.size(); ++k)
        total[k + 1] = total[k] + bins[k];
    const auto lobe = [&](std::size_t k) {
        const std::size_t a = k > std::size_t(kLobeBins) ? k - kLobeBins : 0;
        const std::size_t b = std::min(bins.size(), k + kLobeBins + 1);
        return total[b] - total[a];
    };
    SpectrumPlot p{std::move(title), {}, {}};
    const double step = std::pow(2.0, 1.0 / 96);
    for (double lo = 10; lo * step <= s.nyquist(); lo *= step) {
        const std::size_t a = s.binOf(lo), b = std::max(a + 1, s.binOf(lo * step));
        double most = 0;
        for (std::size_t k = a; k < b && k < bins.size(); ++k)
            most = std::max(most, lobe(k));
        p.hz.push_back(lo * std::sqrt(step));
        p.dbfs.push_back(std::max(-200.0, dbfsOfPower(most)));
    }
    return p;
}

const char* spectrumTitle(Part part) {
    switch (part) {
    case Part::Reference:
        return "1 kHz at -3 dBFS";
    case Part::Quiet:
        return "1 kHz at -60 dBFS";
    case Part::Silence:
        return "Silence: the noise floor";
    case Part::Smpte:
        return "SMPTE: 60 Hz and 7 kHz, 4:1";
    case Part::Ccif:
        return "CCIF: 19 kHz and 20 kHz";
    default:
        return nullptr;
    }
}

} // namespace

namespace {

// The sweep's part of the take: the response at 1/48 octave, and its
// flatness and -3 dB points as figures.
void chirp(const std::vector<std::int32_t>& take, const Segment& g, Report& r, Adder& add) {
    const Sweep& sweep = reportSweep();
    std::array<std::vector<double>, 2> ch;
    const auto first = static_cast<std::size_t>(g.first);
    for (std::size_t i = 0; i < static_cast<std::size_t>(g.frames); ++i)
        for (std::size_t c = 0; c < 2; ++c)
            ch[c].push_back(2 * (first + i) + c < take.size()
                                ? take[2 * (first + i) + c] / kTakeFullScale
                                : 0.0);
    const std::array<SweepResponse, 2> resp{analyseSweep(sweep, ch[0]), analyseSweep(sweep, ch[1])};
    const bool placed = linedUp(resp[0]) && linedUp(resp[1]);
    const bool sweepHeard = heard(resp[0]) && heard(resp[1]);
    for (double hz = 20; hz <= sweep.plan.endHz; hz *= std::pow(2.0, 1.0 / 48)) {
        r.curve.hz.push_back(hz);
        for (std::size_t c = 0; c < 2; ++c)
            r.curve.db[c].push_back(magnitudeDb(resp[c], hz) - magnitudeDb(resp[c], 1000));
    }
    for (int c = 0; c < 2; ++c) {
        const std::string s = side(c);
        const SweepFigures f = sweepFigures(resp[std::size_t(c)], sweep.plan.endHz);
        std::vector<std::string> w;
        if (!sweepHeard)
            w.push_back("the recording is not the sound played");
        else if (!placed)
            w.push_back("the recording could not be lined up with the sound played");
        add("response_flatness_" + s + "_db", "Response flatness (±), " + s, f.flatnessDb, "dB", w);
        auto point = [&](double hz) {
            std::vector<std::string> v = w;
            if (hz <= 0)
                v.push_back("no -3 dB point within the sweep");
            return v;
        };
        add("response_low_3db_" + s + "_hz", "-3 dB point, low, " + s, f.lowerHz, "Hz",
            point(f.lowerHz));
        add("response_high_3db_" + s + "_hz", "-3 dB point, high, " + s, f.upperHz, "Hz",
            point(f.upperHz));
    }
}

} // namespace

void analyse(const Signal& signal, const std::vector<std::int32_t>& take, Report& report) {
    Adder add{report};
    for (const auto& g : signal.segments) {
        if (g.part == Part::Chirp) {
            chirp(take, g, report, add);
            continue;
        }
        const StereoTake t = cut(take, g, kTakeFullScale);
        if (const char* title = spectrumTitle(g.part); title && !t.left.empty())
            report.spectra.push_back(spectrumPlot(t.left, title));
        if (g.part == Part::Sweep)
            sweepRow(t, g, report);
        else if (g.part == Part::Reference)
            tone(t, g, add);
        else
            others(t, g, add);
    }
    checkWiring(signal, take, report);
}

} // namespace qelvar::report

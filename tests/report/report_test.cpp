// Figures of synthetic takes with a known flaw, against closed form or numpy.
#include "report/channels.h"
#include "report/figures.h"
#include "report/imd.h"
#include "report/noise_figures.h"
#include "report/setup_sound.h"
#include "report/tone_figures.h"
#include "report/weighting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

using namespace qelvar::report;
using ::testing::AllOf, ::testing::Contains, ::testing::HasSubstr, ::testing::Not;

namespace {

constexpr double kTol = 0.5; // dB

struct Tone {
    double hz, amplitude;
};

// Sum of sines, optionally quantised to `bits` (rounded, ties to even).
std::vector<double> take(std::size_t n, const std::vector<Tone>& tones, int bits = 0) {
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (auto t : tones)
            x[i] += t.amplitude * std::sin(2 * std::numbers::pi * t.hz * double(i) / kRate);
        if (bits)
            x[i] = std::nearbyint(x[i] * std::ldexp(1.0, bits - 1)) / std::ldexp(1.0, bits - 1);
    }
    return x;
}

void addNoise(std::vector<double>& x, double sigma, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0, sigma);
    for (double& v : x)
        v += g(rng);
}

std::vector<double> minus(std::vector<double> x) {
    for (double& v : x)
        v = -v;
    return x;
}

// How a take of `l` and `r` came back against `played`: swapped, left
// inverted, right inverted.
std::tuple<bool, bool, bool> cameBack(const std::vector<double>& l, const std::vector<double>& r,
                                      const StereoTake& played) {
    const auto c = compareWithPlayed({l, r}, played);
    return {c.swapped, c.leftInverted, c.rightInverted};
}

} // namespace

// 40000 samples put 1 kHz between bins, so the window's leakage counts;
// 44100 samples at 1 kHz repeat exactly, as numpy's plain DFT needs.
TEST(ToneFigures, ThirdHarmonicAndQuantisationFloor) {
    // 24 bits (floor -140.7 dB): THD = THD+N = the harmonic, down to -120 dB.
    for (double rel : {-60.0, -100.0, -120.0}) {
        const auto x = take(40000, {{1000, 0.5}, {3000, 0.5 * std::pow(10, rel / 20)}}, 24);
        const auto t = analyseTone(x, kRate, 1000);
        EXPECT_NEAR(t.thdDb, rel, kTol);
        EXPECT_NEAR(t.thdnDb, rel, kTol);
        EXPECT_NEAR(t.fundamentalDbfs, 20 * std::log10(0.5), 0.01);
        EXPECT_NEAR(t.fundamentalHz, 1000, 0.01);
        EXPECT_EQ(t.harmonics, 9);
        EXPECT_TRUE(t.warnings.empty());
    }
    // 16 bits: numpy's coherent DFT gives THD+N -59.984, THD -59.986.
    const auto x16 = take(44100, {{1000, 0.5}, {3000, 0.5e-3}}, 16);
    const auto t16 = analyseTone(x16, kRate, 1000);
    EXPECT_NEAR(t16.thdnDb, -59.984, kTol);
    EXPECT_NEAR(t16.thdDb, -59.986, kTol);
    EXPECT_NEAR(t16.thdPercent, 0.1, 0.006);
    // Undithered 16-bit -3 dBFS sine: -95.155 dB by numpy; 0.1 dB, so the
    // 0.43 dB of quantisation error above 20 kHz must be left out.
    const auto q = take(44100, {{1000, std::pow(10, -3.0 / 20)}}, 16);
    EXPECT_NEAR(analyseTone(q, kRate, 1000).thdnDb, -95.155, 0.1);
    // A tone 10 Hz off, just outside the fundamental's lobe, counts whole.
    const auto near = take(44100, {{1000, 0.5}, {1010, 0.5e-3}}, 24);
    EXPECT_NEAR(analyseTone(near, kRate, 1000).thdnDb, -60, 0.1);
    // Harmonics above 20 kHz are left out: 7 kHz keeps only the 2nd.
    EXPECT_EQ(analyseTone(take(44100, {{7000, 0.5}}), kRate, 7000).harmonics, 1);
}

TEST(NoiseFigures, WhiteNoiseAWeightingAndDynamicRange) {
    // IEC 61672-1's A-weighting table (0.1 dB) at its exact frequencies.
    const std::pair<double, double> iec[] = {
        {31.623, -39.4}, {100.0, -19.1}, {1000.0, 0.0}, {10000.0, -2.5}, {15849.0, -6.6}};
    for (auto [hz, db] : iec)
        EXPECT_NEAR(aWeightingDb(hz), db, 0.06) << hz;
    // Gaussian noise s = 1e-3: 10·log10(2s²·19980/22050); A-weighted by numpy.
    std::vector<double> silent(2 * 44100);
    addNoise(silent, 1e-3, 7);
    const auto n = analyseNoise(silent, kRate);
    EXPECT_NEAR(n.unweightedDbfs, -57.418, kTol);
    EXPECT_NEAR(n.aWeightedDbfs, -59.466, kTol);
    // A -60 dBFS tone over noise s = 1e-5: DR is that noise, A-weighted.
    auto x = take(44100, {{1000, 1e-3}});
    addNoise(x, 1e-5, 11);
    const auto dr = analyseDynamicRange(x, kRate);
    EXPECT_NEAR(dr.drDb, 99.466, kTol);
    EXPECT_NEAR(dr.toneDbfs, -60, 0.01);
    EXPECT_TRUE(dr.warnings.empty());
}

TEST(ChannelFigures, CrosstalkPolarityAndSwap) {
    // Right: the left's tone at -60 dB under louder broadband noise.
    const auto driven = take(40000, {{1000, 0.5}});
    auto leak = take(40000, {{1000, 0.5e-3}});
    addNoise(leak, 3e-4, 3);
    const auto c = analyseCrosstalk(driven, leak, kRate, 1000);
    EXPECT_NEAR(c.crosstalkDb, -60, kTol);

    // The left alone played: where it came back, and whether inverted.
    const StereoTake played{take(4410, {{1000, 0.5}}), std::vector<double>(4410)};
    EXPECT_EQ(cameBack(driven, leak, played), std::tuple(false, false, false));
    EXPECT_EQ(cameBack(leak, driven, played), std::tuple(true, false, false));
    EXPECT_EQ(cameBack(minus(driven), leak, played), std::tuple(false, true, false));
    EXPECT_EQ(cameBack(leak, minus(driven), played), std::tuple(true, true, false));

    const std::int32_t frames[] = {INT32_MIN, 0x7FFFFF00, 5};
    const auto split = splitStereo(frames);
    EXPECT_EQ(split.left, std::vector<double>{-1.0});
    EXPECT_EQ(split.right, std::vector<double>{8388607 / 8388608.0});
}

// Both channels played, each its own tone: every way the two can come back,
// each played channel followed to the take channel it reached.
TEST(ChannelFigures, EachPlayedChannelFollowedWhereverItCameBack) {
    const auto L = take(4410, {{1000, 0.5}}), R = take(4410, {{1500, 0.5}});
    const StereoTake both{L, R};
    EXPECT_EQ(cameBack(L, R, both), std::tuple(false, false, false));
    EXPECT_EQ(cameBack(L, minus(R), both), std::tuple(false, false, true));
    EXPECT_EQ(cameBack(minus(L), minus(R), both), std::tuple(false, true, true));
    EXPECT_EQ(cameBack(R, L, both), std::tuple(true, false, false));
    EXPECT_EQ(cameBack(minus(R), L, both),
              std::tuple(true, false, true)); // the right came back left
    EXPECT_EQ(cameBack(R, minus(L), both), std::tuple(true, true, false));
}

namespace {

// A take of the run's own signal made by hand: its 24-bit samples at the
// take's full scale (2^31), lined up.
std::vector<std::int32_t> takeOf(const Signal& s) {
    std::vector<std::int32_t> t(s.samples);
    for (auto& v : t)
        v *= 256;
    return t;
}

// The segment's 1 kHz tone, `db` under the test level and under its fades,
// added to channel `ch` of the take.
void leak(std::vector<std::int32_t>& t, const Signal& s, Part p, int ch, double db) {
    const Segment& g = *std::ranges::find(s.segments, p, &Segment::part);
    const double a = std::pow(10.0, (kTestLevelDb + db) / 20) * 2147483648.0;
    for (std::int64_t n = 0; n < g.frames; ++n)
        t[static_cast<std::size_t>(2 * (g.first + n) + ch)] += static_cast<std::int32_t>(
            std::lround(a * envelope(g, n) * std::sin(2 * std::numbers::pi * 1000 * n / kRate)));
}

Report analysed(const Signal& s, const std::vector<std::int32_t>& t) {
    Report r;
    analyse(s, t, r);
    return r;
}

} // namespace

// Crosstalk leaks each way at its own level, so neither direction can pass
// for the other; then the wiring: an inverted channel named, swapped
// channels found from the one-sided tones.
TEST(ReportFigures, CrosstalkEachWayAndTheWiringFromAHandMadeTake) {
    const Signal s = makeSignal();
    auto t = takeOf(s);
    leak(t, s, Part::LeftOnly, 1, -70);  // into the right
    leak(t, s, Part::RightOnly, 0, -50); // into the left
    Report r = analysed(s, t);
    ASSERT_TRUE(r.figure("crosstalk_l_to_r_db") && r.figure("crosstalk_r_to_l_db"));
    EXPECT_NEAR(r.figure("crosstalk_l_to_r_db")->value, -70, 0.1);
    EXPECT_NEAR(r.figure("crosstalk_r_to_l_db")->value, -50, 0.1);
    // Below and above 1 kHz nothing leaked: the take's floor.
    ASSERT_TRUE(r.figure("crosstalk_l_to_r_100_db") && r.figure("crosstalk_r_to_l_10k_db"));
    EXPECT_LT(r.figure("crosstalk_l_to_r_100_db")->value, -140);
    // The sweep at the signal's end: a wire's curve is flat, with no -3 dB
    // point within it.
    ASSERT_GT(r.curve.hz.size(), 400u);
    for (std::size_t i = 0; i < r.curve.hz.size() && r.curve.hz[i] <= 19000; ++i)
        ASSERT_NEAR(r.curve.db[1][i], 0, 0.01) << r.curve.hz[i];
    // (the sweep's fade-out takes up to 0.04 dB off its top 2 %)
    EXPECT_LT(r.figure("response_flatness_left_db")->value, 0.03);
    EXPECT_EQ(r.figure("response_high_3db_right_hz")->warnings,
              std::vector<std::string>{"no -3 dB point within the sweep"});
    // The spectra page: one spectrum a part, each tone at its own level,
    // the silence at nothing.
    ASSERT_EQ(r.spectra.size(), 5u);
    const auto levelAt = [](const SpectrumPlot& p, double hz) {
        double most = -300;
        for (std::size_t i = 0; i < p.hz.size(); ++i)
            if (std::abs(std::log2(p.hz[i] / hz)) < 0.02)
                most = std::max(most, p.dbfs[i]);
        return most;
    };
    EXPECT_EQ(r.spectra[0].title, "1 kHz at -3 dBFS");
    EXPECT_NEAR(levelAt(r.spectra[0], 1000), -3, 0.05);
    EXPECT_LT(levelAt(r.spectra[0], 3000), -120);
    EXPECT_NEAR(levelAt(r.spectra[1], 1000), -60, 0.05);
    EXPECT_LT(*std::max_element(r.spectra[2].dbfs.begin(), r.spectra[2].dbfs.end()), -150);
    // Polarity and swapped channels, and the warning every figure gets.
    using Wiring = std::tuple<std::string, bool, std::string>;
    auto wiring = [&](bool invertL, bool invertR, bool swap) {
        auto w = takeOf(s);
        for (std::size_t k = 0; k + 1 < w.size(); k += 2) {
            if (swap)
                std::swap(w[k], w[k + 1]);
            w[k] *= invertL ? -1 : 1;
            w[k + 1] *= invertR ? -1 : 1;
        }
        const Report x = analysed(s, w);
        const auto& warnings = x.figures.at(0).warnings;
        return Wiring{x.conditions.polarity, x.conditions.channelsSwapped,
                      warnings.empty() ? "" : warnings.back()};
    };
    EXPECT_EQ(wiring(false, false, false), (Wiring{"normal", false, ""}));
    EXPECT_EQ(wiring(false, true, false),
              (Wiring{"inverted", false, "polarity inverted on the right"}));
    EXPECT_EQ(wiring(true, false, false),
              (Wiring{"inverted", false, "polarity inverted on the left"}));
    EXPECT_EQ(wiring(true, true, false), (Wiring{"inverted", false, "polarity inverted"}));
    EXPECT_EQ(wiring(false, false, true), (Wiring{"normal", true, "channels swapped"}));
}

TEST(ImdFigures, SmpteSidebandsAndCcifProducts) {
    // 60 Hz + 6600 Hz at 4:1, sidebands 6600 ± 60n (n = 1..3) of 1e-3 each.
    const std::vector<Tone> smpte = {{60, 0.4},    {6600, 0.1},  {6540, 1e-3}, {6660, 1e-3},
                                     {6480, 1e-3}, {6720, 1e-3}, {6420, 1e-3}, {6780, 1e-3}};
    const auto s = analyseSmpte(take(44100, smpte), kRate);
    EXPECT_NEAR(s.imdDb, 20 * std::log10(std::sqrt(6) * 1e-2), kTol);
    EXPECT_NEAR(s.imdPercent, 2.449, 0.15);
    // 13 + 14 kHz at 0.25: d2 (1 kHz) at -70 dB, d3 (12 and 15 kHz) at -60 dB.
    const std::vector<Tone> ccif = {
        {13000, 0.25}, {14000, 0.25}, {1000, 0.5 * 3.1623e-4}, {12000, 2.5e-4}, {15000, 2.5e-4}};
    const auto c = analyseCcif(take(40000, ccif), kRate);
    EXPECT_NEAR(c.d2Db, -70, kTol);
    EXPECT_NEAR(c.d3Db, -60, kTol);
    EXPECT_NEAR(c.d3Percent, 0.1, 0.006);
    EXPECT_TRUE(c.warnings.empty());
}

TEST(TakeChecks, ClippedAndQuietTakesWarn) {
    // Clipped at the top code on both sides, short of 1.0.
    auto loud = take(44100, {{1000, 1.2}});
    for (double& v : loud)
        v = std::clamp(v, -32767 / 32768.0, 32767 / 32768.0);
    const auto t = analyseTone(loud, kRate, 1000);
    EXPECT_THAT(t.warnings, Contains(HasSubstr("clipped")));
    EXPECT_THAT(t.warnings, Not(Contains(HasSubstr("quiet"))));
    const auto quiet = analyseTone(take(44100, {{1000, 3e-5}}, 24), kRate, 1000);
    EXPECT_THAT(quiet.warnings, Contains(HasSubstr("too quiet to trust: tone at -90.5 dBFS")));
    EXPECT_THAT(quiet.warnings, Not(Contains(HasSubstr("clipped"))));
}

// The check signal's take with one set-up fault each: the words that name
// it, and nothing said of a clean take, of one with a card's white noise at
// -40 dBFS (no hum), or of a card's gain of -6 dB.
TEST(SetupSound, EachFaultNamedAndACleanOrNoisyTakeLeftAlone) {
    const Signal s = makeCheckSignal();
    // Each frame's left and right through `f`.
    auto made = [&](auto f) {
        auto t = takeOf(s);
        for (std::size_t k = 0; k + 1 < t.size(); k += 2) {
            double l = t[k], r = t[k + 1];
            f(k / 2, l, r);
            t[k] = static_cast<std::int32_t>(std::clamp(l, -2147483648.0, 2147483647.0));
            t[k + 1] = static_cast<std::int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
        }
        return t;
    };
    auto said = [&](const std::vector<std::int32_t>& t) {
        std::string all;
        for (const auto& n : soundChecks(s, t)) {
            EXPECT_TRUE(n.finding) << n.text;
            all += n.text + "|";
        }
        return all;
    };
    constexpr double full = 2147483648.0;
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.01 * full / std::sqrt(2.0));

    EXPECT_EQ(said(takeOf(s)), "");
    EXPECT_EQ(said(made([&](std::size_t, double& l, double& r) {
                  l = l / 2 + noise(rng);
                  r = r / 2 + noise(rng);
              })),
              "");
    EXPECT_THAT(said(made([](std::size_t, double& l, double& r) { l *= 1.5, r *= 1.5; })),
                AllOf(HasSubstr("the left input peaks at 0.0 dBFS"),
                      HasSubstr("the right input peaks at 0.0 dBFS"), HasSubstr("by 3.0 dB")));
    EXPECT_THAT(said(made([](std::size_t, double& l, double& r) { l *= 0.05, r *= 0.05; })),
                AllOf(HasSubstr("comes back at -29.0 dBFS on the left, 26.0 dB low"),
                      HasSubstr("on the right, 26.0 dB low")));
    EXPECT_EQ(said(made([](std::size_t, double&, double& r) { r = 0; })),
              "nothing of the 1 kHz tone came back on the right input channel; check its cable, "
              "or a device that drops that channel|");
    EXPECT_THAT(said(made([](std::size_t, double& l, double& r) { std::swap(l, r); })),
                HasSubstr("the channels are swapped"));
    EXPECT_EQ(said(made([](std::size_t, double& l, double&) { l = -l; })),
              "the left channel comes back inverted (its polarity reversed) and the other does "
              "not; check its cable and any plugin in the path|");
    const auto both =
        soundChecks(s, made([](std::size_t, double& l, double& r) { l = -l, r = -r; }));
    ASSERT_EQ(both.size(), 1u);
    EXPECT_FALSE(both[0].finding);
    EXPECT_THAT(said(made([](std::size_t, double& l, double& r) { l = r = (l + r) / 2; })),
                HasSubstr("the input carries the same sound on both channels"));
    EXPECT_EQ(said(made([](std::size_t, double& l, double& r) { r = l; })),
              "nothing played on the right output comes back on either input channel; check "
              "that output's cable|");
    // 60 Hz's 3rd harmonic at -80 dBFS, and a DC offset of -50 dBFS.
    EXPECT_THAT(said(made([&](std::size_t n, double& l, double& r) {
                    l += 1e-4 * full * std::sin(2 * std::numbers::pi * 180 * double(n) / kRate);
                    r += std::pow(10.0, -50 / 20.0) * full;
                })),
                AllOf(HasSubstr("hum at 180 Hz, -80.0 dBFS, in the left input"),
                      HasSubstr("the right input has a DC offset of -50.0 dBFS"),
                      Not(HasSubstr("hum at 180 Hz, -80.0 dBFS, in the right"))));
}

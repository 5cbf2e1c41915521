// The sweep's analysis offline, against paths whose response is known in
// closed form: a wire, a 1-pole low-pass with gain, a polynomial before a
// low-pass; and limits held to the response.
#include "report/limits.h"
#include "report/sweep.h"
#include "report/sweep_take.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

using namespace qelvar::report;

namespace {

constexpr double kPi = std::numbers::pi;

// What came back: the sweep through `path`, then half a second of its tail.
template <class Path> std::vector<double> through(const Sweep& s, Path path) {
    std::vector<double> take(s.samples.size() + 22050, 0.0);
    for (std::size_t i = 0; i < take.size(); ++i)
        take[i] = path(i < s.samples.size() ? s.samples[i] : 0.0);
    return take;
}

} // namespace

TEST(Sweep, AWireGivesASingleSample) {
    const Sweep s = makeSweep({});
    EXPECT_NEAR(s.L * s.plan.startHz, std::round(s.L * s.plan.startHz), 1e-9); // synchronized
    // The length asked, from a little below the start asked.
    EXPECT_NEAR(s.seconds, 2, 1e-9);
    EXPECT_EQ(s.samples.size(), 88200u);
    EXPECT_LE(s.plan.startHz, 10);
    EXPECT_GT(s.plan.startHz, 7);
    const SweepResponse r = analyseSweep(s, through(s, [](double v) { return v; }));
    EXPECT_NEAR(r.impulse[0], 1, 1e-9);
    double rest = 0;
    for (std::size_t i = 1; i < r.impulse.size(); ++i)
        rest = std::max(rest, std::abs(r.impulse[i]));
    EXPECT_LT(20 * std::log10(rest), -120);
    // Flat to the sweep's end: the band edge's ringing is read whole.
    for (double hz = 20; hz < 0.995 * s.plan.endHz; hz *= std::pow(2.0, 1.0 / 96))
        EXPECT_NEAR(magnitudeDb(r, hz), 0, 0.001) << hz;
    EXPECT_TRUE(linedUp(r));
    EXPECT_TRUE(heard(r));
    // The take of a digital wire, its samples as played in 24 bits: still
    // one sample, however little of the sweep is left above its end.
    const SweepResponse r24 =
        analyseSweep(s, through(s, [](double v) { return std::round(v * 8388607) / 8388608; }));
    double rest24 = 0;
    for (std::size_t i = 1; i < r24.impulse.size(); ++i)
        rest24 = std::max(rest24, std::abs(r24.impulse[i]));
    EXPECT_LT(20 * std::log10(rest24), -120);
    EXPECT_NEAR(r24.impulse[0], 1, 1e-6);
    // A wire through 24 bits, the quickest sweep: the quantization where the
    // sweep has next to nothing is no reason to doubt it.
    SweepPlan quick;
    quick.seconds = 1;
    const Sweep q = makeSweep(quick);
    const SweepResponse qr =
        analyseSweep(q, through(q, [](double v) { return std::round(v * 8388607) / 8388607; }));
    EXPECT_TRUE(heard(qr)) << qr.peakToNoiseDb;
    EXPECT_TRUE(linedUp(qr));
    // A take of noise alone, and one of the sweep 20 dB down in noise at
    // -23 dBFS (a poor card's worst): the first holds nothing of it, the
    // second a reading.
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0, 0.05);
    std::vector<double> only(s.samples.size() + 22050), under(only.size());
    for (std::size_t i = 0; i < only.size(); ++i) {
        only[i] = noise(random);
        under[i] = only[i] + (i < s.samples.size() ? 0.1 * s.samples[i] : 0.0);
    }
    EXPECT_FALSE(heard(analyseSweep(s, only)));
    EXPECT_TRUE(heard(analyseSweep(s, under)));
    // The take placed 67 frames after the sound came back: the response
    // comes before it, which no path does.
    const auto wire = through(s, [](double v) { return v; });
    const SweepResponse early = analyseSweep(s, std::vector<double>(wire.begin() + 67, wire.end()));
    EXPECT_NEAR(early.peakSeconds * 44100, -67, 0.5);
    EXPECT_FALSE(linedUp(early));
    // 67 frames inserted 70 % of the way through (up to about 2 kHz), and
    // the take placed by the part after them, as the round trip a take
    // finds for itself is: the impulse peaks where it should, but the lower
    // octaves come before the sound did.
    const auto cut = wire.begin() + std::ptrdiff_t(double(s.samples.size()) * 0.7);
    std::vector<double> moved(wire.begin() + 67, cut);
    moved.insert(moved.end(), 67, 0.0);
    moved.insert(moved.end(), cut, wire.end());
    const SweepResponse split = analyseSweep(s, moved);
    EXPECT_GE(split.peakSeconds, 0);
    EXPECT_FALSE(linedUp(split));
    // Placed early, it is a delay like any path's.
    std::vector<double> delayed(67, 0.0);
    delayed.insert(delayed.end(), wire.begin(), wire.end());
    EXPECT_TRUE(linedUp(analyseSweep(s, delayed)));
    // No distortion where there is none, down to the lowest octaves (a
    // band edge that rang before the response read there as -56 dB).
    for (double hz : {20.0, 50.0, 100.0, 1000.0})
        for (const auto& h : r.harmonics)
            EXPECT_LT(20 * std::log10(std::abs(h[std::size_t(hz / r.binHz)]) + 1e-300), -120) << hz;
}

// y[n] = b·x[n] + (1 - a)·y[n - 1] with b = g·a: H = g·a / (1 - (1 - a)·e^-jw).
TEST(Sweep, ALowPassReadsItsMagnitudePhaseAndGroupDelay) {
    const double a = 0.3, g = 0.5;
    const Sweep s = makeSweep({});
    double state = 0;
    const SweepResponse r = analyseSweep(s, through(s, [&](double v) {
                                             state = g * a * v + (1 - a) * state;
                                             return state;
                                         }));
    const auto truth = [&](double hz) {
        const std::complex<double> z = std::polar(1.0, -2 * kPi * hz / 44100);
        return g * a / (1.0 - (1 - a) * z);
    };
    const auto phase = unwrappedPhaseDeg(r);
    const auto delay = groupDelay(r);
    for (double hz : {20.0, 50.0, 100.0, 1000.0, 5000.0, 10000.0, 15000.0, 19000.0}) {
        SCOPED_TRACE(hz);
        EXPECT_NEAR(magnitudeDb(r, hz), 20 * std::log10(std::abs(truth(hz))), 0.005);
        EXPECT_TRUE(linedUp(r)); // a low-pass peaks after its onset
        const auto bin = static_cast<std::size_t>(std::lround(hz / r.binHz));
        const double f = double(bin) * r.binHz;
        EXPECT_NEAR(phase[bin], std::arg(truth(f)) * 180 / kPi, 0.5);
        const double dw = 2 * kPi * 0.01;
        const double tau = -(std::arg(truth(f + 0.01)) - std::arg(truth(f - 0.01))) / (2 * dw);
        if (hz >= 100) {
            EXPECT_NEAR(delay[bin], tau, 2e-6);
        }
    }
}

// y = x + c2·x² + c3·x³ on a sweep of peak A, then a 1-pole low-pass G:
// the 2nd harmonic of f stands at c2·A/2·|G(2f)|/|G(f)| of the fundamental,
// the 3rd at c3·A²/4·|G(3f)|/|G(f)|. The sweep stops at 7 kHz so that no
// harmonic folds back past 22.05 kHz. The x² term's DC, where the sweep has
// nothing, still leaks into the lowest octaves of the linear curve (0.09 dB
// at 100 Hz): read from 500 Hz here.
TEST(Sweep, HarmonicsStandWhereTheyShouldThroughAFilterAfterThem) {
    const double c2 = 0.02, c3 = 0.04, a = 0.3;
    SweepPlan plan;
    plan.endHz = 7000;
    const Sweep s = makeSweep(plan);
    const double A = s.plan.peak;
    double state = 0;
    const SweepResponse r =
        analyseSweep(s, through(s, [&](double v) {
                         state = a * (v + c2 * v * v + c3 * v * v * v) + (1 - a) * state;
                         return state;
                     }));
    const auto G = [&](double hz) {
        return std::abs(a / (1.0 - (1 - a) * std::polar(1.0, -2 * kPi * hz / 44100)));
    };
    const auto db = [](double v) { return 20 * std::log10(v); };
    for (double hz : {500.0, 1000.0, 2000.0}) {
        SCOPED_TRACE(hz);
        EXPECT_NEAR(magnitudeDb(r, hz), db((1 + 0.75 * c3 * A * A) * G(hz)), 0.02);
        const auto bin = static_cast<std::size_t>(std::lround(hz / r.binHz));
        const double f = double(bin) * r.binHz;
        EXPECT_NEAR(db(std::abs(r.harmonics[0][bin])), db(c2 * A / 2 * G(2 * f) / G(f)), 0.2);
        EXPECT_NEAR(db(std::abs(r.harmonics[1][bin])), db(c3 * A * A / 4 * G(3 * f) / G(f)), 0.2);
        EXPECT_LT(db(std::abs(r.harmonics[2][bin])), -90);
    }
}

// A limits file's response_db line, with a band or without, on the 20
// steps and on the sweep's curve; a band is read strictly, and a sweep
// takes no figure of the sound-card report.
TEST(SweepLimits, AResponseBandHoldsOnlyBetweenItsFrequencies) {
    std::string error;
    const auto band = parseLimits("response_db -1 1 20 500  # low end only\n", error);
    ASSERT_TRUE(band) << error;
    EXPECT_EQ(band->limits[0].fromHz, 20);
    EXPECT_EQ(band->limits[0].toHz, 500);
    for (const char* bad :
         {"response_db -1 1 500 20", "response_db -1 1 20", "response_db -1 1 0 20",
          "thdn_1k_left_db - -80 20 500", "response_db -1 1 20 x"}) {
        EXPECT_FALSE(parseLimits(bad, error)) << bad;
        EXPECT_NE(error.find("line 1"), std::string::npos) << bad;
    }

    // The 20 steps: 10 kHz is 3 dB down, outside the band.
    Report rep;
    for (double hz : {100.0, 1000.0, 10000.0})
        rep.sweep.push_back({hz, hz > 5000 ? -3.0 : 0.0, 0.0, 0, 0, {}, false});
    ASSERT_TRUE(applyLimits(*parseLimits("response_db -1 1 20 5000", error), rep, error));
    EXPECT_TRUE(rep.passed);
    EXPECT_FALSE(rep.sweep[2].failed);
    // Two lines: a row failed by the first stays failed whatever the second says.
    Report both = rep;
    ASSERT_TRUE(
        applyLimits(*parseLimits("response_db -1 1\nresponse_db -5 5", error), both, error));
    EXPECT_FALSE(both.passed);
    EXPECT_TRUE(both.sweep[2].failed);

    // The sweep: a 1-pole low-pass, about +0.6 dB at 20 Hz and -14.3 dB at the
    // sweep's end against 1 kHz.
    const double a = 0.3;
    const Sweep s = makeSweep({});
    double state = 0;
    const SweepResponse r = analyseSweep(s, through(s, [&](double v) {
                                             state = a * v + (1 - a) * state;
                                             return state;
                                         }));
    const std::array<SweepResponse, 2> lr{r, r};
    SweepLimits held;
    ASSERT_TRUE(checkSweepLimits(*parseLimits("response_db -1 1\nresponse_db -1 1 20 500", error),
                                 s, lr, held, error))
        << error;
    EXPECT_FALSE(held.passed);
    ASSERT_EQ(held.lines.size(), 2u);
    const SweepLimitLine& whole = held.lines[0];
    EXPECT_TRUE(whole.failed);
    EXPECT_EQ(whole.fromHz, 20);
    EXPECT_EQ(whole.toHz, s.plan.endHz); // 20 kHz is beyond the sweep
    // The lowest point is near the top (the curve's last 2 % may dip a few
    // hundredths of a dB below the filter's own), read off the curve itself.
    EXPECT_GT(whole.lowestHz[1], 19000);
    EXPECT_NEAR(whole.lowestDb[1], magnitudeDb(r, whole.lowestHz[1]) - magnitudeDb(r, 1000), 1e-9);
    EXPECT_LT(whole.lowestDb[1], -14);
    EXPECT_LT(whole.highestHz[0], 25); // the low end, within the curve's ripple there
    EXPECT_NEAR(whole.highestDb[0], 0.63, 0.02);
    EXPECT_FALSE(held.lines[1].failed);
    EXPECT_TRUE(
        checkSweepLimits(*parseLimits("response_db -1 1 20 500", error), s, lr, held, error));
    EXPECT_TRUE(held.passed);

    EXPECT_FALSE(
        checkSweepLimits(*parseLimits("thdn_1k_left_db - -80", error), s, lr, held, error));
    EXPECT_NE(error.find("thdn_1k_left_db"), std::string::npos);
    EXPECT_FALSE(
        checkSweepLimits(*parseLimits("response_db -1 1 20000 30000", error), s, lr, held, error));
    EXPECT_NE(error.find("outside the sweep"), std::string::npos);
}

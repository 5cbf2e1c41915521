// The sound-card test through the private loopback, with known flaws put
// into its signal: each comes back as the figure its making gives.
#include "audio/pulse_sound.h"
#include "report/figures.h"
#include "report/report_run.h"
#include "report/weighting.h"
#include "support/files.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>

using namespace qelvar::report;
using namespace std::chrono_literals;

namespace {

// Adds f(n) (full scale 1.0) to channel `ch` of a segment, under its fades.
template <class F> void add(Signal& s, Part p, int ch, F f) {
    const Segment& g = *std::ranges::find(s.segments, p, &Segment::part);
    for (std::int64_t n = 0; n < g.frames; ++n) {
        auto& v = s.samples[static_cast<std::size_t>(2 * (g.first + n) + ch)];
        v = static_cast<std::int32_t>(std::lround(v + kFullScale * envelope(g, n) * f(n)));
    }
}

// A segment as a 16-bit signal would hold it (x 32767), in 24-bit steps.
void sixteenBits(Signal& s, const Segment& g) {
    for (std::int64_t k = 2 * g.first; k < 2 * (g.first + g.frames); ++k) {
        auto& v = s.samples[static_cast<std::size_t>(k)];
        v = static_cast<std::int32_t>(std::lround(v * 32767.0 / kFullScale) * 256);
    }
}

double sine(double hz, std::int64_t n) {
    return std::sin(2 * std::numbers::pi * hz * n / kRate);
}

const double kA = std::pow(10.0, kTestLevelDb / 20); // the tones' peak

class ReportLoopback : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sound = new qelvar::audio::SystemSound({});
        ready = sound->waitReady(20s);
    }
    static void TearDownTestSuite() { delete sound; }
    void SetUp() override { ASSERT_TRUE(ready) << sound->statusText(); }

    // One run; a take the server troubled is taken again, and a run whose every
    // take it troubled is run again after a pause.
    Report run(const Signal& s) {
        Report r;
        for (int attempt = 1; attempt <= 4; ++attempt) {
            if (attempt > 1)
                std::this_thread::sleep_for(std::chrono::seconds(5));
            ReportRun run(*sound, tmp.path.string());
            run.setSignal(s);
            QEventLoop loop;
            QObject::connect(&run, &ReportRun::finished, &loop, &QEventLoop::quit);
            run.start();
            if (run.running())
                loop.exec();
            r = run.report();
            const auto* f = r.figure("level_1k_left_db");
            if (r.failure.empty() && f && f->warnings.empty())
                break;
        }
        return r;
    }
    double value(const Report& r, const std::string& key) {
        return r.figure(key) ? r.figure(key)->value : NAN; // missing: no comparison holds
    }

    qelvar::test::TempDir tmp;
    static inline qelvar::audio::SystemSound* sound = nullptr;
    static inline bool ready = false;
};

TEST_F(ReportLoopback, KnownFlawsComeBackAsMadeAndCleanPartsAsSixteenBitsAllow) {
    Signal s = makeSignal();
    // THD: a third harmonic at -60 dB left, -100 dB right (only 24 bits carry it).
    add(s, Part::Reference, 0, [](auto n) { return kA * 1e-3 * sine(3000, n); });
    add(s, Part::Reference, 1, [](auto n) { return kA * 1e-5 * sine(3000, n); });
    // Noise in the left's silence: tones of random phase every 50 Hz to 19 kHz,
    // mean square 1e-6 in all.
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> phase(0, 2 * std::numbers::pi);
    std::vector<std::pair<double, double>> tones;
    double aPower = 0;
    for (double hz = 50; hz <= 19000; hz += 50)
        tones.emplace_back(hz, phase(gen));
    const double each = std::sqrt(2e-6 / static_cast<double>(tones.size()));
    for (auto [hz, ph] : tones)
        aPower += each * each / 2 * aWeightingPower(hz); // pinned to IEC 61672-1 by report_test
    add(s, Part::Silence, 0, [&](auto n) {
        double v = 0;
        for (auto [hz, ph] : tones)
            v += each * std::sin(2 * std::numbers::pi * hz * n / kRate + ph);
        return v;
    });
    // Crosstalk: the left tone leaks into the right 60 dB down.
    add(s, Part::LeftOnly, 1, [](auto n) { return kA * 1e-3 * sine(1000, n); });
    // SMPTE: the 7 kHz tone gets its first sidebands, each 60 dB under it.
    const double high = kA * 0.2;
    add(s, Part::Smpte, 0,
        [&](auto n) { return high * 1e-3 * (sine(7000 - 60, n) + sine(7000 + 60, n)); });
    // CCIF: a difference tone 60 dB under the sum of the two tones.
    add(s, Part::Ccif, 0, [&](auto n) { return kA * 1e-3 * sine(1000, n); });
    // The 1 kHz step and the quiet tone as 16 bits hold them.
    for (const auto& g : s.segments)
        if (g.part == Part::Quiet || (g.part == Part::Sweep && g.hz == 1000))
            sixteenBits(s, g);

    const Report r = run(s);
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_NEAR(value(r, "level_1k_left_db"), 0, 0.01);
    EXPECT_NEAR(value(r, "thd_1k_left_db"), -60, 0.5);
    EXPECT_NEAR(value(r, "thd_1k_right_db"), -100, 0.5);
    EXPECT_NEAR(value(r, "noise_left_dbfs"), 10 * std::log10(2 * 1e-6), 0.5);
    EXPECT_NEAR(value(r, "noise_a_left_dbfs"), 10 * std::log10(2 * aPower), 0.5);
    EXPECT_NEAR(value(r, "crosstalk_l_to_r_db"), -60, 0.5);
    EXPECT_NEAR(value(r, "imd_smpte_left_db"), 20 * std::log10(std::sqrt(2.0) * 1e-3), 0.5);
    EXPECT_NEAR(value(r, "imd_ccif_d2_left_db"), -60, 0.5);

    // The 16-bit parts (report_truth.py), the same through a converted path.
    ASSERT_EQ(r.sweep.size(), sweepFrequencies().size());
    for (const auto& row : r.sweep) {
        EXPECT_NEAR(row.levelL, 0, row.hz <= 18000 ? 0.01 : 0.05) << row.hz;
        EXPECT_NEAR(row.levelR, 0, row.hz <= 18000 ? 0.01 : 0.05) << row.hz;
        if (row.hz == 1000) {
            EXPECT_NEAR(row.thdnL, -95.670, 0.5);
        }
    }
    EXPECT_NEAR(value(r, "dynamic_range_right_db"), 100.108, 0.5);
    std::vector<std::string> keys;
    for (const auto& f : r.figures)
        keys.push_back(f.key);
    EXPECT_THAT(keys, ::testing::UnorderedElementsAreArray(figureKeys()));
    EXPECT_EQ(r.conditions.polarity, "normal");
    EXPECT_FALSE(r.conditions.channelsSwapped);
    EXPECT_EQ(r.conditions.bits, 24);
    EXPECT_GE(r.conditions.deviceBits, 24);
    // The round trip, not the streams' 2 s counting offset.
    EXPECT_GT(r.conditions.latencyFrames, 0);
    EXPECT_LT(r.conditions.latencyFrames, kRate / 2);
}

// The run counts its time down while the signal plays, and Cancel stops it
// there: the sound ends, no figure is kept, and it says why.
TEST_F(ReportLoopback, CountsDownAndCancelStopsTheSoundWithNoFigures) {
    // Made before the run: after the cancel nothing may delay the look at
    // what the device was sent.
    const double first = std::ceil(double(makeSignal().frames()) / kRate + 1);
    ReportRun run(*sound, tmp.path.string());
    std::vector<std::pair<int, int>> steps;
    QObject::connect(&run, &ReportRun::advanced,
                     [&steps](int percent, int left) { steps.emplace_back(percent, left); });
    QEventLoop loop;
    QObject::connect(&run, &ReportRun::finished, &loop, &QEventLoop::quit);
    // Cancel once the count has gone down by three seconds.
    QObject::connect(&run, &ReportRun::advanced, [&](int, int left) {
        if (steps.size() > 1 && steps[1].second - left >= 3)
            run.cancel();
    });
    run.start();
    if (run.running())
        loop.exec();
    EXPECT_FALSE(run.running());
    EXPECT_TRUE(run.cancelled());
    EXPECT_TRUE(run.report().figures.empty());
    EXPECT_EQ(run.report().failure, "the run was cancelled");
    // The first count is the signal's length and a second for the
    // analysis; it only goes down, and the share played only up.
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps.front(), std::make_pair(0, -1)); // the device opening
    EXPECT_NEAR(steps[1].second, first, 1);
    for (std::size_t i = 2; i < steps.size(); ++i) {
        EXPECT_LE(steps[i].second, steps[i - 1].second) << i;
        EXPECT_GE(steps[i].first, steps[i - 1].first) << i;
    }
    EXPECT_GT(steps.back().first, 10);
    EXPECT_LT(steps.back().first, 40);
    // The sound stopped with the run: nothing more goes to the device.
    const auto sentThen = sound->soundFramesSent();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_LE(sound->soundFramesSent(), std::max<std::int64_t>(sentThen, 0));
}

} // namespace

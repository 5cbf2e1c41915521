// The live input window's meter and spectrum against known input.
#include "report/live_meter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

using namespace qelvar;
using report::LiveMeter;

namespace {

// `frames` frames up to `end` of a left and a right tone (peak dBFS) with
// the card's noise under them.
audio::InputTail tones(std::int64_t end, std::size_t frames, double hzL, double dbL, double hzR,
                       double dbR) {
    audio::InputTail t{end, std::vector<std::int32_t>(2 * frames)};
    std::mt19937 rng(static_cast<unsigned>(end));
    std::normal_distribution<double> noise(0, 1e-6);
    const double full = 2147483647.0;
    for (std::size_t k = 0; k < frames; ++k) {
        const double n = double(end) - double(frames) + double(k);
        t.stereo[2 * k] = static_cast<std::int32_t>(
            full * (std::pow(10, dbL / 20) * std::sin(2 * std::numbers::pi * hzL * n / 44100) +
                    noise(rng)));
        t.stereo[2 * k + 1] = static_cast<std::int32_t>(
            full * (std::pow(10, dbR / 20) * std::sin(2 * std::numbers::pi * hzR * n / 44100) +
                    noise(rng)));
    }
    return t;
}

} // namespace

TEST(LiveMeter, LevelsSpectrumBandsAndTheClipThatHolds) {
    LiveMeter m;
    m.feed(tones(20000, 13230, 1000, -6, 50, -40));
    EXPECT_NEAR(m.peakDbfs(0), -6, 0.01);
    EXPECT_NEAR(m.rmsDbfs(0), -6, 0.01); // a sine's RMS read as its peak in dBFS
    EXPECT_NEAR(m.rmsDbfs(1), -40, 0.05);
    EXPECT_NEAR(m.toneHz(0), 1000, 0.5);
    EXPECT_NEAR(m.toneDbfs(0), -6, 0.05);
    EXPECT_NEAR(m.toneHz(1), 50, 0.5); // hum stands where it is marked
    const auto bands = m.thirdOctaveDb(0);
    const auto& centres = LiveMeter::thirdOctaveCentres();
    const auto at = [&](double hz) {
        return bands[std::size_t(std::find(centres.begin(), centres.end(), hz) - centres.begin())];
    };
    EXPECT_NEAR(at(1000), -6, 0.1);
    EXPECT_LT(at(2000), -100);
    EXPECT_FALSE(m.clipped(0));

    // A peak counts only new frames; the clip lamp holds until reset, and
    // the held spectrum keeps what the averaged one lets go.
    m.feed(tones(20000 + 1764, 13230, 1000, 0, 50, -40));
    EXPECT_TRUE(m.clipped(0));
    m.setAveraging(1);
    m.feed(tones(20000 + 2 * 1764, 13230, 1000, -20, 50, -40));
    EXPECT_NEAR(m.peakDbfs(0), -20, 0.01);
    EXPECT_NEAR(m.toneDbfs(0), -20, 0.05);
    const std::size_t bin = std::size_t(std::lround(1000 / m.binHz()));
    EXPECT_GT(m.peakHoldDb(0)[bin], m.spectrumDb(0)[bin] + 10);
    EXPECT_TRUE(m.clipped(0));
    m.feed(tones(20000 + 2 * 1764, 13230, 1000, -1, 50, -40)); // nothing new
    EXPECT_NEAR(m.peakDbfs(0), -20, 0.01);
    m.resetClip();
    m.resetPeakHold();
    EXPECT_FALSE(m.clipped(0));
    EXPECT_LT(m.peakHoldDb(0)[bin], -150);
}

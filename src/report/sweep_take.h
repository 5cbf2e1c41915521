// A sweep measurement through the sound path: the sweep played a number of
// times in one signal (each with a pause for the path's tail), the take
// averaged back to one sweep's, and the files it gives: the curves as CSV
// at 1/48 octave, the figures as JSON, the impulse as a WAV file.
#pragma once

#include "report/limits.h"
#include "report/report.h"
#include "report/sweep.h"
#include "report/test_signal.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::report {

// Seconds of pause after each sweep: the path's tail, and the time a card's
// AC coupling takes to settle (a 4.4 Hz high-pass is 120 dB down in 0.25 s,
// and the sweep's end hardly stirs it).
inline constexpr double kSweepPause = 0.3;

// `averages` plays of `s` back to back, each followed by the pause, both
// channels, 24 bits; one Chirp segment spans them.
Signal sweepSignal(const Sweep& s, int averages);

// The take of sweepSignal(s, averages) as one play's, per channel (full
// scale 1.0): the plays' frames averaged, a play the take cut short left out.
std::array<std::vector<double>, 2> averagedTake(const Sweep& s, int averages,
                                                const std::vector<std::int32_t>& take);

// Why the responses read from a take are not the path's ("" when they
// are): the take holds nothing of the sweep, or it was placed late.
std::string refusal(const std::array<SweepResponse, 2>& responses);

struct SweepFigures {
    double flatnessDb = 0; // half the spread of the level, 20 Hz to 20 kHz (or the sweep's end)
    double lowerHz = 0;    // -3 dB below the level at 1 kHz, going down (0: not within the sweep)
    double upperHz = 0;    // and going up
    double delayMs1k = 0;  // group delay at 1 kHz
    double thd1kDb = 0;    // H2 to H5 at 1 kHz, against the fundamental
};

SweepFigures sweepFigures(const SweepResponse& r, double endHz);

// A sweep held to a limits file: each response_db line bounds the level
// against the level at 1 kHz, at every 1/48 octave of its band (20 Hz to
// 20 kHz without one) that the sweep covers.
struct SweepLimitLine {
    Limit limit;
    double fromHz = 0, toHz = 0; // as checked
    std::array<double, 2> lowestDb{}, lowestHz{}, highestDb{}, highestHz{};
    bool failed = false;
};
struct SweepLimits {
    std::vector<SweepLimitLine> lines;
    bool passed = true;
};

// False with `error` set when the file holds a line a sweep has no figure
// for (the sound-card report's figures), or a band the sweep does not reach.
bool checkSweepLimits(const Limits& limits, const Sweep& s, const std::array<SweepResponse, 2>& r,
                      SweepLimits& out, std::string& error);

// sweep.csv, sweep.json and impulse.wav into `dir`; false with the file's
// name in `error` when one could not be written.
// With `limits`, sweep.json tells how each line fared.
bool writeSweepFiles(const std::string& dir, const Sweep& s, int averages,
                     const Conditions& conditions, const std::array<SweepResponse, 2>& r,
                     std::string& error, const SweepLimits* limits = nullptr);

} // namespace qelvar::report

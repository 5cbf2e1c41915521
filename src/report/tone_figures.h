// Distortion of a take of one sine tone: THD+N, THD and dynamic range.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qelvar::report {

// Ratios are relative to the fundamental: dB is 10·log10 of the power
// ratio, percent 100·√ of it.
struct ToneFigures {
    double fundamentalHz = 0;
    double fundamentalDbfs = 0;
    double thdnDb = 0;
    double thdnPercent = 0;
    double thdDb = 0;
    double thdPercent = 0;
    int harmonics = 0; // how many of the 2nd to 10th harmonics THD counts
    std::vector<std::string> warnings;
};

// x: one channel, full scale = 1.0; the fundamental is looked for within
// 3 % of expectedHz.
ToneFigures analyseTone(std::span<const double> x, double rate, double expectedHz);

struct DynamicRangeFigures {
    double drDb = 0;
    double drUnweightedDb = 0; // the same residual, not weighted
    double toneDbfs = 0;
    std::vector<std::string> warnings;
};

// Dynamic range from a take of a -60 dBFS tone (1 kHz by custom): the
// A-weighted THD+N residual (everything in 20 Hz-20 kHz but the tone's
// lobe) referred to full scale, DR = -(residual dBFS). At -60 dBFS the
// card's distortion has fallen away and the residual is its noise floor,
// measured with a signal present so that muting circuits can't flatter it.
DynamicRangeFigures analyseDynamicRange(std::span<const double> x, double rate,
                                        double toneHz = 1000);

} // namespace qelvar::report

// Noise level of a silent take.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qelvar::report {

// Levels in dBFS (a full-scale sine is 0 dBFS) over 20 Hz-20 kHz.
struct NoiseFigures {
    double unweightedDbfs = 0;
    double aWeightedDbfs = 0;
    std::vector<std::string> warnings;
};

NoiseFigures analyseNoise(std::span<const double> x, double rate);

} // namespace qelvar::report

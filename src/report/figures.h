// From the take of the test signal to the report's figures and sweep.
#pragma once

#include "report/channels.h"
#include "report/report.h"
#include "report/test_signal.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::report {

// `take`: the recording, interleaved stereo as readClip gives it (full
// scale 2^31), lined up with the signal (frame k of the take is frame k of
// the signal come back).
void analyse(const Signal& signal, const std::vector<std::int32_t>& take, Report& report);

// A take as readClip gives it: full scale 2^31 whatever its depth.
inline constexpr double kTakeFullScale = 2147483648.0;

// The analysed frames of segment `g` of interleaved stereo samples whose
// full scale is `full`.
StereoTake cut(const std::vector<std::int32_t>& stereo, const Segment& g, double full);

// The keys of every figure analyse() gives: a limits file is checked
// against them before anything plays.
const std::vector<std::string>& figureKeys();

} // namespace qelvar::report

// Figures and checks that take both channels of a take: crosstalk, and a
// take against the sound that was played (swapped channels, inverted
// polarity). Also the unpacking of recorded frames into channels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qelvar::report {

struct StereoTake {
    std::vector<double> left, right; // full scale = 1.0
};

// Interleaved stereo samples as two channels, divided by `fullScale` (a
// take as readClip gives it: 2^31 whatever its depth).
StereoTake splitStereo(std::span<const std::int32_t> interleaved, double fullScale = 2147483648.0);

struct CrosstalkFigures {
    double crosstalkDb = 0; // undriven relative to driven, at the tone
    double drivenDbfs = 0;
    std::vector<std::string> warnings;
};

// Level of the tone in the undriven channel relative to the driven one,
// both read over the tone's main lobe only, so broadband noise in the
// undriven channel doesn't pass for crosstalk.
CrosstalkFigures analyseCrosstalk(std::span<const double> driven, std::span<const double> undriven,
                                  double rate, double toneHz);

struct PlayedCheck {
    bool swapped = false;
    bool leftInverted = false;
    bool rightInverted = false;
    std::vector<std::string> warnings;
};

// Compares a take with what was played, both lined up on the sound's first
// frame (as the recorder starts a take). Each take channel is projected on
// each played channel: swapped when the played channels land crosswise
// with more amplitude than straight, inverted when a channel correlates
// negatively with the played channel it carries. Takes of identical
// channels can't show a swap.
PlayedCheck compareWithPlayed(const StereoTake& take, const StereoTake& played);

} // namespace qelvar::report

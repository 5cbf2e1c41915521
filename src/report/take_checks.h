// Checks on one channel of a take that the report prints as warnings, and
// the locale-free number text they use.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace qelvar::report {

// A sample this near full scale counts as clipped (16-bit full scale is
// 32767/32768 = 0.99997, 24-bit more; 0.999 is -0.009 dB).
inline constexpr double kClipLevel = 0.999;

// Below this a tone is too near a 16-bit card's noise to read its
// distortion: the residual would be the noise floor, not the card.
inline constexpr double kQuietDbfs = -80;

std::size_t clippedSamples(std::span<const double> x);

// Appends "clipped" when any sample reaches kClipLevel.
void addClipWarning(std::span<const double> x, std::vector<std::string>& warnings);

// The clip warning, and "too quiet" when the tone (its level `toneDbfs`)
// lies below kQuietDbfs.
void addLevelWarnings(std::span<const double> x, double toneDbfs,
                      std::vector<std::string>& warnings);

// v with `decimals` decimals and a point, whatever the desktop's locale.
std::string fixedText(double v, int decimals);

} // namespace qelvar::report

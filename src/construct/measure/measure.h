// Full-duplex measurement: reading a step's left and right levels from its
// capture file, and the reading boxes' text.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qelvar::construct {

// Calibration entries: one per step 0..25 (steps 1..20 are measured).
inline constexpr int kCalEntries = 26;
using CalArray = std::array<double, kCalEntries>;

// What `peakread` adds to a raw level. The page model can hold this as its
// own state: the offset flag and value, the use-cal flag and the offsets.
struct MeasureSettings {
    bool offsetOn = false;
    double offsetDb = 0.0; // taken as single precision, as the offset box is
    bool calOn = false;
    CalArray calL{}; // dB added to the left reading of step i (index = step)
    CalArray calR{};
};

struct Reading {
    double left = 0.0;
    double right = 0.0;
};

// Level in dB of the capture file of `step` (the recorded step, whose
// calibration entry applies). Reads 16-bit stereo frames from file offset
// 48; magnitude hi × 255 + lo folded at 32640; level 20·log10(mean/32640)+5,
// 0 when the mean is 0; then offset and calibration; |level| < 0.1 gives 0.
// The file is streamed in blocks, so its size does not matter; a missing
// file is created empty and reads 0 (plus offset and calibration).
Reading peakread(const std::string& capturePath, int step, const MeasureSettings& settings);

// A reading box's text: the first 6 characters of the Str form
// (" 0", "-1.020", " 12.5").
std::string readingText(double level);

// The value of a reading or entry box: its leading number, 0 when it has
// none or when that number is out of range (an infinity never reaches a
// file or a sum).
double boxValue(std::string_view text);

} // namespace qelvar::construct

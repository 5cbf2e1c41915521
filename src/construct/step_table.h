// The sweep table: one entry per step, 0..25. Steps 1..20 are the sweep
// rows, 21 and 22 the pulse on and off entries, 0 the test-signal entry and
// 23..25 spare entries that only travel through the set-up file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qelvar::construct {

inline constexpr int kLastStep = 25;
inline constexpr int kSteps = kLastStep + 1;
inline constexpr int kRows = 20;     // sweep rows 1..20
inline constexpr int kPulseOn = 21;  // Freq-on, Att-on, T-on
inline constexpr int kPulseOff = 22; // hidden off frequency, Att-off, T-off

struct StepTable {
    std::array<std::int32_t, kSteps> frequency{};
    std::array<double, kSteps> attL{};
    std::array<double, kSteps> attR{};
    std::array<double, kSteps> length{}; // ms; cycles for 21 and 22 after a pulse build
    std::array<std::int16_t, kSteps> include{};
    std::array<std::int32_t, kSteps> rate{};
    std::array<std::string, kSteps> mode{};
    std::array<std::int32_t, kSteps> bits{};

    // The values the page starts from before its set-up file is read.
    void setStartupValues();

    // The inclusive guard the sequencer uses: steps outside 0..25 count as
    // excluded.
    bool included(int k) const { return k >= 0 && k <= kLastStep && include[k] == 1; }
};

} // namespace qelvar::construct

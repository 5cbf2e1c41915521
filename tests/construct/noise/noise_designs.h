// The noise filters as designed, worked out here apart from the
// coefficients the filters store: the biquads are bilinear transforms at
// 44100 Hz, the pink bank is seven first-order terms.
#pragma once

#include "construct/noise/section.h"

#include <array>
#include <cmath>
#include <utility>

namespace noisetest {

using qelvar::noise::Section;

// K = tan(π·fc/44100) with π in single precision (as the filters were first
// worked out) and damping d:
//   n = 1 / (1 + d·K + K²), a1 = 2(K² − 1)·n, a2 = (1 − d·K + K²)·n,
//   low-pass b = g·K²·n × (1, 2, 1), high-pass b = n × (1, −2, 1).
inline Section bilinear(double fc, double d, bool lowPass, double g = 1.0) {
    const double pi = static_cast<float>(3.14159265358979323846);
    const double K = std::tan(pi * fc / 44100.0), n = 1.0 / (1.0 + d * K + K * K);
    const double b0 = lowPass ? g * K * K * n : n;
    Section s;
    s.b = {b0, lowPass ? 2 * b0 : -2 * b0, b0, 0, 0};
    s.a = {1, 2 * (K * K - 1) * n, (1 - d * K + K * K) * n, 0, 0};
    return s;
}

// IEC: 600 Hz low-pass, 40 Hz high-pass; SUB: 120 Hz low-pass with gain 4,
// twice; damping 1.4. The pink files' high-passes: 20 Hz (pink, CSA) and
// 50 Hz (UL), damping 1.
inline std::array<Section, 2> iecDesign() {
    return {bilinear(600, 1.4, true), bilinear(40, 1.4, false)};
}
inline std::array<Section, 2> subDesign() {
    return {bilinear(120, 1.4, true, 4), bilinear(120, 1.4, true, 4)};
}
inline Section pinkHighPassDesign() {
    return bilinear(20, 1, false);
}
inline Section ulHighPassDesign() {
    return bilinear(50, 1, false);
}

// Each term gain/100 over (1 − pole·z⁻¹); the last term's one-sample delay
// is folded into the direct one (0.5362 + 0.115926).
inline std::array<Section, 7> pinkBankDesign() {
    const std::array<std::pair<double, double>, 7> terms{{{0.055179, 0.99886},
                                                          {0.0750759, 0.99332},
                                                          {0.1538520, 0.96900},
                                                          {0.3104856, 0.86650},
                                                          {0.5329522, 0.55000},
                                                          {-0.0168980, -0.7616},
                                                          {0.5362 + 0.115926, 0}}};
    std::array<Section, 7> bank;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        bank[i].b[0] = terms[i].first / 100;
        bank[i].a[1] = -terms[i].second;
    }
    return bank;
}

} // namespace noisetest

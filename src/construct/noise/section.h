// The section engine of the noise filters: a filter section is its ten
// coefficients plus a delay line, and sections run over a work buffer in
// series (each rewriting the buffer) or in parallel (each adding its
// rounded output to an accumulator).
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace qelvar::noise {

// Ten coefficients of a fourth-order direct-form section. Output y for
// input x at sample i:
//
//   v(i) = b0·x(i) + b1·x(i−1) + b2·x(i−2) + b3·x(i−3) + b4·x(i−4)
//   y(i) = a0·v(i) − a1·y(i−1) − a2·y(i−2) − a3·y(i−3) − a4·y(i−4)
//
// evaluated left to right, then clamped to lo..hi. Biquads leave b3, b4,
// a3, a4 at 0, first-order sections everything past b0 and a1.
struct Section {
    std::array<double, 5> b{};
    std::array<double, 5> a{1.0, 0.0, 0.0, 0.0, 0.0};

    // Highest delay with a non-zero coefficient (0..4). Terms beyond it add
    // exact zeros, so leaving them out changes no result.
    int order() const;
};

// The last four inputs and clamped outputs of one section, newest first.
struct DelayLine {
    std::array<double, 4> x{};
    std::array<double, 4> y{};
};

struct EngineLimits {
    double passLimit; // the first four samples are rounded back only inside ±passLimit
    double lo;        // output clamp
    double hi;
};

// Runs every section over w(1 .. Lw − 10·NS), w indexed from 1 (w[0] is
// not used). Samples 1..4 of each section only prime its delay line with
// the input (rounded back into w when inside the pass limit). From sample
// 5 on, the clamped output is rounded half to even and either replaces
// w(i) (series, `acc` empty) or is added to acc(i) (parallel). Lw is cut
// to the buffers' real size; at most 20 sections run.
void runSections(std::span<const Section> sections, std::span<double> w, std::size_t Lw,
                 const EngineLimits& limits, std::span<double> acc = {});

// Two independent buffers (a stereo pair) through the same sections: the
// same results as one call for each, in about the time of one. Both run
// over the shorter of the two lengths.
struct Lane {
    std::span<double> w;
    std::span<double> acc; // empty in series
};
void runSections(std::span<const Section> sections, const Lane& left, const Lane& right,
                 std::size_t Lw, const EngineLimits& limits);

} // namespace qelvar::noise

// The 16-bit stereo frame rule shared by every noise file, and the header
// sizes of a trimmed noise file.
#pragma once

#include "formats/wav.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qelvar::noise {

// Nearest whole number, ties to even, as a double. The 1.5·2^52 trick
// gives the hardware's round-to-nearest-even without a library call; it
// holds for |x| < 2^51, beyond which the slow path takes over.
inline double roundHalfEven(double x) {
    constexpr double shift = 6755399441055744.0; // 1.5 · 2^52
    if (std::fabs(x) < 0x1p51) {
        // Without fast-math the compiler keeps both operations as written.
        return (x + shift) - shift;
    }
    return std::nearbyint(x);
}

// A file's code range: 0..65535, or 1..65534 for the UL file.
struct CodeRange {
    double lo;
    double hi;
};
inline constexpr CodeRange fullCodes{0.0, 65535.0};
inline constexpr CodeRange ulCodes{1.0, 65534.0};

// One channel's 16-bit code: v itself when v >= 0, else v + 65535 (not
// 65536), limited to the range, then rounded half to even. NaN gives lo.
inline std::uint16_t noiseCode(double v, CodeRange range) {
    // Written without branches: the sign of noise is a coin toss, and
    // mispredicted jumps would cost more than the arithmetic. Adding 0 to a
    // non-negative v leaves it exact.
    double c = v + 65535.0 * static_cast<double>(v < 0.0);
    c = c >= range.lo ? c : range.lo;
    c = c <= range.hi ? c : range.hi;
    return static_cast<std::uint16_t>(roundHalfEven(c));
}

// Frame n (from 1) at buffer elements 4n + 41 .. 4n + 44, least significant
// byte first, left then right. The caller keeps n within the image.
inline void encodeNoiseFrame(wav::FileImage& image, std::size_t n, double vL, double vR,
                             CodeRange range) {
    std::uint16_t cL = noiseCode(vL, range);
    std::uint16_t cR = noiseCode(vR, range);
    std::uint8_t* p = image.data() + 4 * n + 41;
    p[0] = static_cast<std::uint8_t>(cL);
    p[1] = static_cast<std::uint8_t>(cL >> 8);
    p[2] = static_cast<std::uint8_t>(cR);
    p[3] = static_cast<std::uint8_t>(cR >> 8);
}

// Header sizes of a file whose kept stretch runs from S to E: data size
// L = 4(E − S) − 44 at bytes 41-44, L + 36 at bytes 5-8. A stretch too
// short for that (fewer than 11 frames) declares no data rather than a
// size that wraps around to 4 GB.
void noiselength(wav::FileImage& image, std::int32_t S, std::int32_t E);

} // namespace qelvar::noise

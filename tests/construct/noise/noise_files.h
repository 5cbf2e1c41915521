// The 16-bit codes of a noise file's frames.
#pragma once

#include "support/files.h"

namespace noisetest {

using namespace qelvar::test;

// Code of channel ch (0 left, 1 right) of frame n (from 1).
inline unsigned code(const std::vector<std::uint8_t>& b, std::size_t n, int ch) {
    std::size_t o = 44 + 4 * (n - 1) + 2 * static_cast<std::size_t>(ch);
    return b[o] | (b[o + 1] << 8);
}

// Codes back to signed sample values (negative values were stored + 65535).
inline std::vector<double> channel(const std::vector<std::uint8_t>& b, int ch, std::size_t first,
                                   std::size_t count) {
    std::vector<double> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        unsigned c = code(b, first + i, ch);
        v[i] = c <= 32767 ? static_cast<double>(c) : static_cast<double>(c) - 65535.0;
    }
    return v;
}

} // namespace noisetest

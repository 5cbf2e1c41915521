// Crafted capture files, and a literal whole-file transcription of the
// level arithmetic to compare the streaming reader with.
#pragma once

#include "support/files.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace captest {

using qelvar::test::TempDir;

// A 44-byte header (its contents do not matter to the reader), then
// `frames` frames of 16-bit little-endian left/right samples.
inline std::vector<unsigned char> constantCapture(int left, int right, int frames) {
    std::vector<unsigned char> b(44, 0);
    for (int i = 0; i < frames; ++i)
        for (int v : {left, right}) {
            auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
            b.push_back(static_cast<unsigned char>(u & 0xFF));
            b.push_back(static_cast<unsigned char>(u >> 8));
        }
    return b;
}

// The arithmetic step by step as written down for the system: the bytes as
// entries 1..n, F = floor((n − 53) ÷ 4), frames 1..F summed. Raw levels only.
inline std::pair<double, double> referenceLevels(const std::vector<unsigned char>& file) {
    long long n = std::max<long long>(static_cast<long long>(file.size()), 4);
    auto e = [&](long long k) {
        return k <= static_cast<long long>(file.size()) ? file[k - 1] : 0;
    };
    long long F = static_cast<long long>(std::floor((static_cast<double>(n) - 53.0) / 4.0));
    auto level = [&](int lo) {
        double sum = 0;
        for (long long i = 1; i <= F; ++i) {
            double m = e(4 * i + lo + 1) * 255 + e(4 * i + lo); // frame i − 1 from offset 48
            sum += m > 32640 ? std::fabs(m - 65280) : m;
        }
        double mean = F < 1 ? 0 : sum / static_cast<double>(F);
        return mean > 0 ? 20 * std::log(mean / 32640) / 2.302585 + 5 : 0.0;
    };
    return {level(45), level(47)};
}

} // namespace captest

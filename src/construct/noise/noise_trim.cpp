// Trimming of IEC and SUB noise: the loop point of a one-second file must
// fall between quiet samples, so the kept stretch starts and ends at a
// sample below the threshold, with short fades at both ends.
#include "construct/noise/noise_filters.h"

#include <algorithm>

namespace qelvar::noise {

namespace {

constexpr double threshold = 100.0;
constexpr std::int32_t fade = 200;

bool quiet(double v) {
    return -threshold < v && v < threshold;
}

} // namespace

Trim trimQuiet(std::span<double> w, std::int32_t D, std::int32_t M) {
    if (w.size() < 2)
        return {1, 1};
    const auto len = static_cast<std::int32_t>(std::min<std::size_t>(44100, w.size() - 1));
    D = std::clamp(D, 0, len - 1);
    M = std::clamp(M, 0, len - 1 - D);
    auto at = [&](std::int32_t i) -> double& { return w[static_cast<std::size_t>(i)]; };

    // Drop the settling, clear the tail.
    for (std::int32_t i = 1; i <= len - D; ++i)
        at(i) = at(i + D);
    const std::int32_t tailStart = std::max(len - D - M, 2);
    for (std::int32_t i = tailStart; i <= len; ++i)
        at(i) = 0.0;

    // End: the last quiet point before the tail; element 1 at the lowest.
    std::int32_t E = tailStart;
    do {
        --E;
    } while (E > 1 && !quiet(at(E)));
    for (std::int32_t i = E; i <= len - D; ++i)
        at(i) = 0.0;
    for (std::int32_t j = std::max(E - fade, 1); j <= E; ++j)
        at(j) = (static_cast<double>(E - j) * at(j)) * (1.0 / 200.0);

    // Start: the first quiet point; the cleared tail guarantees one.
    std::int32_t S = 1;
    while (S < len && !quiet(at(S)))
        ++S;
    for (std::int32_t i = 1; i <= S; ++i)
        at(i) = 0.0;
    for (std::int32_t j = 1; j <= fade && S + j <= len; ++j)
        at(S + j) = (static_cast<double>(j - 1) * at(S + j)) / 200.0;
    return {S, E};
}

} // namespace qelvar::noise

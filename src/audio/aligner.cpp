#include "audio/aligner.h"

#include <cmath>

namespace qelvar::audio {

std::vector<std::int16_t> probeBurst(std::size_t frames, std::int16_t level) {
    std::vector<std::int16_t> out(frames);
    std::uint16_t lfsr = 0xACE1u;
    for (auto& v : out) {
        // x^16 + x^14 + x^13 + x^11 + 1, Galois form.
        const bool bit = lfsr & 1u;
        lfsr = static_cast<std::uint16_t>(lfsr >> 1);
        if (bit)
            lfsr ^= 0xB400u;
        v = bit ? level : static_cast<std::int16_t>(-level);
    }
    return out;
}

Match bestMatch(std::span<const float> probe, std::span<const float> input, std::int64_t lagBegin,
                std::int64_t lagEnd) {
    Match best;
    const auto p = static_cast<std::int64_t>(probe.size());
    const auto n = static_cast<std::int64_t>(input.size());
    if (p == 0 || lagBegin < 0)
        return best;
    if (lagEnd > n - p + 1)
        lagEnd = n - p + 1;
    double pe = 0;
    for (float v : probe)
        pe += double(v) * v;
    if (pe <= 0 || lagBegin >= lagEnd)
        return best;
    // Energy of the input window, kept as a running sum.
    double xe = 0;
    for (std::int64_t k = 0; k < p; ++k)
        xe += double(input[lagBegin + k]) * input[lagBegin + k];
    for (std::int64_t lag = lagBegin; lag < lagEnd; ++lag) {
        if (lag > lagBegin) {
            const double out = input[lag - 1], in = input[lag + p - 1];
            xe += in * in - out * out;
        }
        double dot = 0;
        for (std::int64_t k = 0; k < p; ++k)
            dot += double(probe[k]) * input[lag + k];
        const double c = xe > 1e-9 ? dot / std::sqrt(pe * xe) : 0.0;
        if (best.lag < 0 || c > best.corr)
            best = {lag, c};
    }
    return best;
}

std::int64_t alignedStart(std::int64_t now, std::int64_t soundStart, std::int64_t loopFrames,
                          std::int64_t maxBack) {
    if (loopFrames <= 0 || now < soundStart)
        return now;
    const std::int64_t start = soundStart + (now - soundStart) / loopFrames * loopFrames;
    return now - start <= maxBack ? start : now;
}

std::int64_t trimToLoops(std::int64_t frames, std::int64_t loopFrames) {
    if (loopFrames <= 0 || frames < loopFrames)
        return frames;
    return frames / loopFrames * loopFrames;
}

} // namespace qelvar::audio

#include "audio/aligner.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

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

Match bestMatch(std::span<const float> probe, std::span<const float> left,
                std::span<const float> right, std::int64_t lagBegin, std::int64_t lagEnd,
                std::vector<float>* all) {
    Match best;
    const auto p = static_cast<std::int64_t>(probe.size());
    const auto n = static_cast<std::int64_t>(std::min(left.size(), right.size()));
    if (p == 0 || lagBegin < 0)
        return best;
    if (lagEnd > n - p + 1)
        lagEnd = n - p + 1;
    double pe = 0;
    for (float v : probe)
        pe += double(v) * v;
    if (pe <= 0 || lagBegin >= lagEnd)
        return best;
    // Energy of each channel's window, kept as a running sum.
    double le = 0, re = 0;
    for (std::int64_t k = 0; k < p; ++k) {
        le += double(left[lagBegin + k]) * left[lagBegin + k];
        re += double(right[lagBegin + k]) * right[lagBegin + k];
    }
    for (std::int64_t lag = lagBegin; lag < lagEnd; ++lag) {
        if (lag > lagBegin) {
            const double lo = left[lag - 1], li = left[lag + p - 1];
            const double ro = right[lag - 1], ri = right[lag + p - 1];
            le = std::max(0.0, le + li * li - lo * lo);
            re = std::max(0.0, re + ri * ri - ro * ro);
        }
        double dl = 0, dr = 0;
        for (std::int64_t k = 0; k < p; ++k) {
            dl += double(probe[k]) * left[lag + k];
            dr += double(probe[k]) * right[lag + k];
        }
        const double norm = std::sqrt(pe) * (std::sqrt(le) + std::sqrt(re));
        const double c = norm > 1e-9 ? (std::abs(dl) + std::abs(dr)) / norm : 0.0;
        if (all)
            all->push_back(static_cast<float>(c));
        if (best.lag < 0 || c > best.corr)
            best = {lag, c, dl < 0, dr < 0};
    }
    return best;
}

bool standsAlone(const Match& best, std::span<const float> all, std::int64_t first,
                 std::int64_t apart) {
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::int64_t lag = first + static_cast<std::int64_t>(i);
        if (std::llabs(lag - best.lag) > apart && all[i] >= 0.5 * best.corr)
            return false;
    }
    return best.lag >= 0;
}

std::int64_t impulseOnset(const Match& best, std::span<const float> all, std::int64_t first) {
    const auto at = [&](std::int64_t lag) {
        const std::int64_t i = lag - first;
        return i >= 0 && i < std::ssize(all) ? double{all[static_cast<std::size_t>(i)]} : 0.0;
    };
    std::int64_t edge = best.lag;
    while (edge > best.lag - 16 && at(edge - 1) >= 0.25 * best.corr)
        --edge;
    // Where the edge's first step, carried on down, reaches nothing.
    const double rise = at(edge + 1) - at(edge);
    if (edge == best.lag || rise <= 0)
        return edge;
    const double zero = static_cast<double>(edge) - at(edge) / rise;
    return std::max(best.lag - 16, static_cast<std::int64_t>(std::ceil(zero - 0.01)));
}

double fractionalLag(std::span<const float> probe, std::span<const float> input, std::int64_t lag,
                     double topFraction) {
    const auto p = static_cast<std::int64_t>(probe.size());
    const std::int64_t margin = p / 2, n = p + 2 * margin;
    if (p == 0 || lag - margin < 0 || lag - margin + n > static_cast<std::int64_t>(input.size()))
        return 0;
    const double pi = std::acos(-1.0);
    const auto top = static_cast<std::int64_t>(topFraction * static_cast<double>(n));
    double num = 0, den = 0;
    for (std::int64_t k = 1; k <= top; ++k) {
        const double w = -2 * pi * static_cast<double>(k) / static_cast<double>(n);
        std::complex<double> x, y;
        for (std::int64_t i = 0; i < n; ++i) {
            const std::complex<double> e = std::polar(1.0, w * static_cast<double>(i));
            if (i >= margin && i < margin + p)
                x += static_cast<double>(probe[static_cast<std::size_t>(i - margin)]) * e;
            y += static_cast<double>(input[static_cast<std::size_t>(lag - margin + i)]) * e;
        }
        // The phase of y·conj(x) is w·delta; weighted least squares through 0.
        const std::complex<double> c = y * std::conj(x);
        const double mag = std::abs(c);
        num += mag * w * std::arg(c);
        den += mag * w * w;
    }
    const double d = den > 0 ? num / den : 0;
    return std::clamp(d, -0.5, 0.5);
}

int wholeFramePad(double fraction, int rate) {
    if (rate <= 0)
        return 0;
    const int period = rate / std::gcd(rate, 44100);
    int best = 0;
    double bestPart = 1;
    for (int k = 0; k < period; ++k) {
        const double t = fraction + static_cast<double>(k) * 44100.0 / rate;
        const double part = std::fabs(t - std::nearbyint(t));
        if (part < bestPart - 1e-12) {
            bestPart = part;
            best = k;
        }
    }
    return best;
}

std::int64_t alignedStart(std::int64_t now, std::int64_t soundStart, std::int64_t loopFrames,
                          std::int64_t maxBack) {
    if (now < soundStart)
        return soundStart; // its first frame is being written out right now
    // A sound played once has one boundary: its first frame.
    const std::int64_t start =
        loopFrames <= 0 ? soundStart
                        : soundStart + (now - soundStart) / loopFrames * loopFrames;
    return now - start <= maxBack ? start : now;
}

std::int64_t trimToLoops(std::int64_t frames, std::int64_t loopFrames) {
    if (loopFrames <= 0 || frames < loopFrames)
        return frames;
    return frames / loopFrames * loopFrames;
}

} // namespace qelvar::audio

#include "audio/lag_finder.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace qelvar::audio {
namespace {

using Cx = std::complex<double>;

// In-place iterative radix-2 FFT; `inverse` leaves the result unscaled.
void fft(std::vector<Cx>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    const double pi = std::acos(-1.0);
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double ang = 2 * pi / static_cast<double>(len) * (inverse ? 1 : -1);
        const Cx wl(std::cos(ang), std::sin(ang));
        for (std::size_t i = 0; i < n; i += len) {
            Cx w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const Cx u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

// A stereo frame as one complex value: left real, right imaginary. The
// real part of conj(ref) * input then sums both channels' products. In
// 16-bit steps, whatever the depth carried.
Cx asComplex(std::uint64_t f) {
    return {double(FrameRing::left(f)) / 65536, double(FrameRing::right(f)) / 65536};
}

double energy(std::uint64_t f) {
    return std::norm(asComplex(f));
}

// Correlations closer to the best than this are the same match.
constexpr double kTie = 1e-6;

} // namespace

double correlationAt(std::span<const std::uint64_t> ref, std::span<const std::uint64_t> input,
                     std::int64_t offset) {
    const auto n = static_cast<std::int64_t>(ref.size());
    if (offset < 0 || offset + n > static_cast<std::int64_t>(input.size()) || n == 0)
        return 0;
    double dl = 0, dr = 0, re = 0, ie = 0;
    for (std::int64_t k = 0; k < n; ++k) {
        const Cx r = asComplex(ref[static_cast<std::size_t>(k)]);
        const Cx x = asComplex(input[static_cast<std::size_t>(offset + k)]);
        dl += r.real() * x.real();
        dr += r.imag() * x.imag();
        re += std::norm(r);
        ie += std::norm(x);
    }
    if (re == 0 && ie == 0)
        return 1.0; // silence came back as silence
    return re > 0 && ie > 0 ? (std::abs(dl) + std::abs(dr)) / std::sqrt(re * ie) : 0.0;
}

LagMatch bestOffset(std::span<const std::uint64_t> ref, std::span<const std::uint64_t> input,
                    std::int64_t preferred) {
    LagMatch best;
    const std::size_t p = ref.size(), n = input.size();
    if (p == 0 || n < p)
        return best;
    std::size_t size = 1;
    while (size < n)
        size <<= 1;
    std::vector<Cx> a(size), b(size);
    double re = 0;
    for (std::size_t k = 0; k < p; ++k) {
        b[k] = asComplex(ref[k]);
        re += std::norm(b[k]);
    }
    for (std::size_t k = 0; k < n; ++k)
        a[k] = asComplex(input[k]);
    fft(a, false);
    fft(b, false);
    // Each channel's spectrum from the packed one (a real signal's is
    // Hermitian), and both cross spectra packed again: the inverse holds
    // the left channel's correlation as its real part, the right's as its
    // imaginary part.
    std::vector<Cx> c(size);
    const Cx i2(0, 2);
    for (std::size_t k = 0; k < size; ++k) {
        const std::size_t m = (size - k) % size;
        const Cx inL = (a[k] + std::conj(a[m])) / 2.0, inR = (a[k] - std::conj(a[m])) / i2;
        const Cx refL = (b[k] + std::conj(b[m])) / 2.0, refR = (b[k] - std::conj(b[m])) / i2;
        c[k] = inL * std::conj(refL) + Cx(0, 1) * (inR * std::conj(refR));
    }
    fft(c, true);
    // Normalised correlation at each offset, the input's energy under the
    // window kept as a running sum.
    std::vector<double> corr(n - p + 1);
    double ie = 0;
    for (std::size_t k = 0; k < p; ++k)
        ie += energy(input[k]);
    double top = -2;
    for (std::size_t off = 0; off < corr.size(); ++off) {
        if (off > 0)
            ie = std::max(0.0, ie + energy(input[off + p - 1]) - energy(input[off - 1]));
        // Either channel may come back inverted: each counts by its size.
        const double dot =
            (std::abs(c[off].real()) + std::abs(c[off].imag())) / static_cast<double>(size);
        corr[off] = re > 0 && ie > 0.5 ? dot / std::sqrt(re * ie) : 0.0;
        top = std::max(top, corr[off]);
    }
    for (std::size_t off = 0; off < corr.size(); ++off) {
        const auto o = static_cast<std::int64_t>(off);
        if (corr[off] >= top - kTie &&
            (best.lag < 0 || std::llabs(o - preferred) < std::llabs(best.lag - preferred)))
            best = {o, corr[off]};
    }
    return best;
}

std::vector<std::uint64_t> ringFrames(const FrameRing& ring, std::int64_t from,
                                      std::int64_t count) {
    std::vector<std::uint64_t> v;
    if (from < ring.oldest() || count <= 0)
        return v;
    const std::int64_t to = std::min(from + count, ring.written());
    for (std::int64_t f = from; f < to; ++f)
        v.push_back(ring.load(f));
    if (from < ring.oldest())
        v.clear(); // overwritten while being read
    return v;
}

namespace {

// The output [refFrom, refTo) looked for in the input at lags around
// `expected`; `preferred` picks among equal matches (an offset into the
// searched input, 0 for the earliest).
LagSearch search(const FrameRing& out, const FrameRing& in, std::int64_t refFrom,
                 std::int64_t refTo, std::int64_t expected, std::int64_t span, bool earliest) {
    LagSearch s;
    refFrom = std::max<std::int64_t>({refFrom, 0, out.oldest()});
    const auto ref = ringFrames(out, refFrom, refTo - refFrom);
    if (ref.empty())
        return s;
    const std::int64_t lagLo = std::max<std::int64_t>(expected - span, 0);
    const std::int64_t lagHi = expected + span;
    const std::int64_t want = lagHi - lagLo + static_cast<std::int64_t>(ref.size());
    const auto input = ringFrames(in, refFrom + lagLo, want);
    s.covered = static_cast<std::int64_t>(input.size()) == want &&
                static_cast<std::int64_t>(ref.size()) == refTo - refFrom;
    const LagMatch m = bestOffset(ref, input, earliest ? 0 : expected - lagLo);
    if (m.lag >= 0)
        s.match = {m.lag + lagLo, m.corr};
    return s;
}

} // namespace

LagSearch findLag(const FrameRing& out, const FrameRing& in, std::int64_t at, std::int64_t expected,
                  std::int64_t span) {
    // Either side of `at`: the end of the sound before and the start of
    // the new one, a pattern no shifted copy of either has.
    return search(out, in, at - kLagSide, at + kLagSide, expected, span, false);
}

LagSearch findOnset(const FrameRing& out, const FrameRing& in, std::int64_t at,
                    std::int64_t expected, std::int64_t span) {
    return search(out, in, at, at + 2 * kLagSide, expected, span, true);
}

} // namespace qelvar::audio

#include "report/sweep.h"

#include "report/spectrum.h"
#include "report/test_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace qelvar::report {
namespace {

using Cx = std::complex<double>;
constexpr double kPi = std::numbers::pi;
// The least a bin of the sweep's power spectrum counts for in the curves,
// against what the sweep holds at that frequency (at its band's edges,
// outside it). The impulse itself divides exactly (a wire's is one
// sample); the curves would take in what a path puts where the sweep has
// next to nothing (an even harmonic's DC) raised by as much.
constexpr double kFloor = 1e-6;
constexpr double kGrid = kFullScale - 1; // as the signal's samples are written

std::size_t nextPow2(std::size_t n) {
    std::size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

// The real FFT of x, zero-padded to n (n/2 + 1 bins).
std::vector<Cx> forward(const std::vector<double>& x, std::size_t n) {
    std::vector<double> in(n, 0.0);
    std::copy_n(x.begin(), std::min(x.size(), n), in.begin());
    std::vector<Cx> out(n / 2 + 1);
    realFft(in.data(), out.data(), n);
    return out;
}

// The inverse of forward(), scaled: forward then inverse gives x back.
std::vector<double> inverse(std::vector<Cx> spectrum, std::size_t n) {
    std::vector<double> out(n);
    realInverse(spectrum.data(), out.data(), n);
    for (double& v : out)
        v /= double(n);
    return out;
}

// a / b without the library's guard against overflow (a call per division,
// which dominated the analysis): nothing divided here comes near it.
Cx divide(Cx a, Cx b) {
    return a * std::conj(b) / std::norm(b);
}

// A 4th-order Butterworth high-pass at lo and low-pass at hi, as analog
// filters at f.
Cx bandEdges(double f, double lo, double hi) {
    const Cx s(0, f);
    const auto poles = [&](double fc) {
        return (s * s + 0.7653668647 * fc * s + fc * fc) *
               (s * s + 1.8477590650 * fc * s + fc * fc);
    };
    return divide(s * s * s * s * (hi * hi * hi * hi), poles(lo) * poles(hi));
}

// Raised-cosine edge: 0 at x <= 0, 1 at x >= 1.
double edge(double x) {
    return x <= 0 ? 0 : x >= 1 ? 1 : 0.5 - 0.5 * std::cos(kPi * x);
}

// h's samples from `first` (negative: before index 0, from the end) for
// `count`, tapered over `fadeIn` samples at the start and `fadeOut` at the
// end, laid into an n-point array with the part before `origin` at the end.
std::vector<double> cutOut(const std::vector<double>& h, std::int64_t origin, std::int64_t pre,
                           std::int64_t post, std::size_t n) {
    std::vector<double> out(n, 0.0);
    const auto size = static_cast<std::int64_t>(h.size());
    const std::int64_t fadeIn = std::max<std::int64_t>(1, pre / 2),
                       fadeOut = std::max<std::int64_t>(1, post / 5);
    for (std::int64_t k = -pre; k < post; ++k) {
        const std::int64_t at = ((origin + k) % size + size) % size;
        double w = 1;
        if (k < -pre + fadeIn)
            w = edge(double(k + pre) / double(fadeIn));
        else if (k >= post - fadeOut)
            w = edge(double(post - k) / double(fadeOut));
        const std::int64_t to = (k % std::int64_t(n) + std::int64_t(n)) % std::int64_t(n);
        out[static_cast<std::size_t>(to)] = w * h[static_cast<std::size_t>(at)];
    }
    return out;
}

} // namespace

Sweep makeSweep(const SweepPlan& plan) {
    Sweep s;
    s.plan = plan;
    // f1·L whole: then the sweep's phase at each harmonic's time repeats
    // its start, and the harmonics' responses come out in step. The length
    // is kept as asked and the start lowered to the first such below the
    // one asked (10 Hz for 2 s becomes 7.8 Hz; rounding the length instead
    // made a 2-s sweep 2.28 s).
    const double f2 = plan.endHz;
    double f1 = plan.startHz;
    const double whole = std::max(1.0, std::floor(f1 * plan.seconds / std::log(f2 / f1)));
    for (int i = 0; i < 40; ++i) // converges by a factor ln(f2/f1) a turn
        f1 = whole * std::log(f2 / f1) / plan.seconds;
    s.plan.startHz = f1;
    s.L = whole / f1;
    s.seconds = s.L * std::log(f2 / f1);
    const auto n = static_cast<std::size_t>(std::llround(s.seconds * plan.rate));
    s.samples.resize(n);
    const double in = plan.fadeIn * plan.rate, out = plan.fadeOut * plan.rate;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / plan.rate;
        const double phase = 2 * kPi * f1 * s.L * std::expm1(t / s.L);
        const double w = edge(double(i) / in) * edge(double(n - 1 - i) / out);
        // On the grid of the samples played (24 bits): a digital path gives
        // back exactly what is divided by, and the division stays exact even
        // where the sweep has next to nothing (past its end), where the
        // rounding would otherwise stand out at -95 dB.
        s.samples[i] = std::round(plan.peak * w * std::sin(phase) * kGrid) / kGrid;
    }
    return s;
}

SweepResponse analyseSweep(const Sweep& sweep, const std::vector<double>& take, double preSeconds,
                           double postSeconds) {
    SweepResponse r;
    const double rate = sweep.plan.rate;
    r.rate = rate;
    // The take holds the sweep and the path's tail: a transform that long
    // divides exactly for a linear path (its output is wholly inside), and
    // each harmonic's response, ahead of the linear one by L·ln(k), wraps
    // round to the end of the impulse, clear of the linear one's start.
    const std::size_t n = nextPow2(std::max(take.size(), sweep.samples.size() + 1));
    const auto x = forward(sweep.samples, n);
    const auto y = forward(take, n);
    // The take's own noise, from what came back after the sweep and its
    // echo had died away: the division is exact where the sweep stands
    // above it (a digital wire: everywhere), and fades to nothing where it
    // does not (below the sweep's start, above its end).
    double noise = 0;
    const std::size_t quietFrom = sweep.samples.size() + static_cast<std::size_t>(0.1 * rate);
    if (take.size() > quietFrom + 1000) {
        for (std::size_t i = quietFrom; i < take.size(); ++i)
            noise += take[i] * take[i];
        noise /= double(take.size() - quietFrom);
    }
    const double eps = noise * double(take.size()) + 1e-300;
    const double binHz = rate / double(n), f1 = sweep.plan.startHz, f2 = sweep.plan.endHz;
    // The harmonics are read from the sweep's band alone, its edges drawn by
    // filters that ring only after a response (causal): a zero-phase edge
    // rings before the linear response too, where the harmonics lie, and
    // read as distortion at the lowest frequencies.
    const double edgeHigh = std::min(f2 * 1.05, 0.49 * rate);
    // The sweep's power spectrum falls as 1/f across its band (pink): the
    // floor follows it there, and stays at the band edges' level outside.
    const double mid = std::sqrt(f1 * f2);
    double midPower = 0;
    std::size_t midBins = 0;
    for (auto k = static_cast<std::size_t>(mid / 1.1 / binHz); k <= mid * 1.1 / binHz;
         ++k, ++midBins)
        midPower += std::norm(x[k]);
    midPower /= double(std::max<std::size_t>(midBins, 1));
    std::vector<Cx> h(x.size()), curves(x.size()), band(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double f = double(k) * binHz;
        // Below the start, over two octaves so that the band's edge rings
        // for less than the impulse is read; above the end, at once (no
        // curve is read up there, and a card's own filter has ended it).
        const Cx cross = y[k] * std::conj(x[k]);
        h[k] = cross / (std::norm(x[k]) + eps);
        const double floor = kFloor * midPower * mid / std::clamp(f, f1, f2);
        curves[k] = cross / (std::norm(x[k]) + eps + floor);
        band[k] = cross / (std::norm(x[k]) + eps + floor) * bandEdges(f, f1 / 2, edgeHigh);
    }
    r.impulse = inverse(h, n);
    const std::vector<double> floored = inverse(curves, n), inBand = inverse(band, n);
    {
        // Where the impulse peaks, from 2 ms before the sound's return to
        // its tail (the harmonics' responses lie further back). Read from
        // the floored division: the plain one raises a take's quantization
        // where the sweep has next to nothing (past its end) into noise
        // across the whole impulse.
        const auto back = std::min<std::size_t>(n / 2, std::size_t(0.002 * rate));
        const auto ahead = std::min<std::size_t>(n / 2, std::size_t(postSeconds * rate));
        double most = -1;
        for (std::size_t i = 0; i < ahead; ++i)
            if (std::abs(floored[i]) > most) {
                most = std::abs(floored[i]);
                r.peakSeconds = double(i) / rate;
            }
        for (std::size_t i = n - back; i < n; ++i)
            if (std::abs(floored[i]) > most) {
                most = std::abs(floored[i]);
                r.peakSeconds = -double(n - i) / rate;
            }
        // The impulse between its tail and the harmonics' responses (up to
        // the 12th) holds only the take's noise.
        const auto from = ahead + std::size_t(0.05 * rate);
        const auto harmonics = std::size_t((sweep.L * std::log(12.0) + 0.05) * rate);
        double noise = 0;
        std::size_t count = 0;
        for (std::size_t i = from; i + harmonics < n; ++i, ++count)
            noise += floored[i] * floored[i];
        if (count > 1000 && noise > 0)
            r.peakToNoiseDb = 10 * std::log10(most * most / (noise / double(count)));
    }

    // Fine resolution: 1/48 octave at 20 Hz is 0.29 Hz; 2^18 points give
    // 0.17 Hz at 44100.
    const std::size_t fine = std::max<std::size_t>(nextPow2(std::size_t(rate / 0.2)), 1024);
    r.binHz = rate / double(fine);
    const double L = sweep.L;
    const auto pre =
        static_cast<std::int64_t>(std::min(preSeconds, 0.45 * L * std::log(2.0)) * rate);
    const auto post = static_cast<std::int64_t>(postSeconds * rate);
    r.linear = forward(cutOut(floored, 0, pre, post, fine), fine);

    // Harmonic k lies L·ln(k) before the linear response; each is read
    // up to nearly halfway to its neighbours.
    for (int k = 2; k <= 5; ++k) {
        const double at = -L * std::log(double(k)) * rate;
        const auto origin = static_cast<std::int64_t>(std::llround(at));
        const auto before = static_cast<std::int64_t>(
            std::min(0.02 * rate, 0.45 * L * std::log((k + 1.0) / k) * rate));
        const auto after =
            static_cast<std::int64_t>(0.45 * L * std::log(double(k) / (k - 1.0)) * rate);
        // Read at a quarter of the linear part's resolution, which is still
        // finer than its window allows, and brought to the linear part's
        // bins between its own.
        const std::size_t coarse = fine / 4;
        const auto hk = forward(cutOut(inBand, origin, before, after, coarse), coarse);
        // The part of a sample the rounding of its time left, put back.
        const double frac = at - double(origin);
        std::vector<Cx> rel(r.linear.size(), Cx(0));
        // Its phase, 2π·pos·frac/coarse at bin pos = i·k/4, turned a bin at
        // a time.
        const Cx turn = std::polar(1.0, 2 * kPi * k * frac / (4 * double(coarse)));
        Cx shift = turn;
        for (std::size_t i = 1; i < rel.size(); ++i, shift *= turn) {
            const double pos = double(i * k) / 4;
            const auto j = static_cast<std::size_t>(pos);
            if (j + 1 >= hk.size())
                break;
            const double t = pos - double(j);
            const Cx v = (1 - t) * hk[j] + t * hk[j + 1];
            // The band's edges divided out again: they are known exactly.
            const Cx edges = bandEdges(pos * rate / double(coarse), f1 / 2, edgeHigh);
            if (std::norm(r.linear[i]) > 0 && std::norm(edges) > 1e-6)
                rel[i] = divide(v * shift, edges * r.linear[i]);
        }
        r.harmonics.push_back(std::move(rel));
    }
    return r;
}

double magnitudeDb(const SweepResponse& r, double hz) {
    const double pos = hz / r.binHz;
    const auto i = static_cast<std::size_t>(pos);
    if (i + 1 >= r.linear.size())
        return -300;
    const double t = pos - double(i);
    const double mag = (1 - t) * std::abs(r.linear[i]) + t * std::abs(r.linear[i + 1]);
    return 20 * std::log10(std::max(mag, 1e-15));
}

std::vector<double> unwrappedPhaseDeg(const SweepResponse& r) {
    std::vector<double> out(r.linear.size());
    double last = 0, turns = 0;
    for (std::size_t i = 0; i < r.linear.size(); ++i) {
        const double p = std::arg(r.linear[i]);
        if (i > 0) {
            if (p - last > kPi)
                turns -= 2 * kPi;
            else if (p - last < -kPi)
                turns += 2 * kPi;
        }
        last = p;
        out[i] = (p + turns) * 180 / kPi;
    }
    return out;
}

std::vector<double> groupDelay(const SweepResponse& r) {
    const auto phase = unwrappedPhaseDeg(r);
    std::vector<double> out(phase.size(), 0.0);
    const double dw = 2 * kPi * r.binHz;
    for (std::size_t i = 1; i + 1 < phase.size(); ++i)
        out[i] = -(phase[i + 1] - phase[i - 1]) * kPi / 180 / (2 * dw);
    return out;
}

std::vector<double> smoothedDb(const SweepResponse& r, int fraction) {
    std::vector<double> out(r.linear.size());
    std::vector<double> sum(r.linear.size() + 1, 0.0);
    for (std::size_t i = 0; i < r.linear.size(); ++i)
        sum[i + 1] = sum[i] + std::norm(r.linear[i]);
    const double half = fraction > 0 ? std::pow(2.0, 0.5 / fraction) : 1;
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::size_t lo = i, hi = i + 1;
        if (fraction > 0) {
            lo = static_cast<std::size_t>(std::floor(double(i) / half));
            hi = std::min(out.size(), static_cast<std::size_t>(std::ceil(double(i) * half)) + 1);
            hi = std::max(hi, lo + 1);
        }
        const double p = (sum[hi] - sum[lo]) / double(hi - lo);
        out[i] = 10 * std::log10(std::max(p, 1e-300));
    }
    return out;
}

bool linedUp(const SweepResponse& r) {
    const double early = -kEarlyFrames / r.rate;
    if (r.peakSeconds < early)
        return false;
    // Part of the take placed late (the path moved inside it) leaves the
    // impulse's peak where it was and puts that part's frequencies before
    // it: an octave whose delay is below nothing, which a causal path's
    // never is.
    const auto delay = groupDelay(r);
    for (double lo = 125; lo < 16000; lo *= 2) {
        std::vector<double> d;
        for (auto k = static_cast<std::size_t>(lo / r.binHz);
             k < delay.size() && double(k) * r.binHz < 2 * lo; ++k)
            d.push_back(delay[k]);
        if (d.empty())
            break;
        std::nth_element(d.begin(), d.begin() + std::ptrdiff_t(d.size() / 2), d.end());
        if (d[d.size() / 2] < early)
            return false;
    }
    return true;
}

bool heard(const SweepResponse& r) {
    return r.peakToNoiseDb >= kHeardDb;
}

} // namespace qelvar::report

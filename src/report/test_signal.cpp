#include "report/test_signal.h"

#include "audio/capture_file.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qelvar::report {
namespace {

constexpr std::int64_t kGap = 2048; // silence between segments
// Raised-cosine ends of 23 ms: an abrupt end would spread a 20 kHz tone
// past the pass band of a rate converter, and the take would no longer
// match what was played there.
constexpr std::int64_t kFade = 1024;

// Long enough for 20 cycles of the tone, and at least a quarter second.
std::int64_t framesFor(double hz, double seconds = 0.25) {
    return std::max<std::int64_t>(std::llround(seconds * kRate), std::llround(20.0 * kRate / hz)) +
           2 * Segment::kSettle;
}

double amplitude(double db) {
    return std::pow(10.0, db / 20.0);
}

struct Builder {
    Signal s;
    // The take is lined up with the sound by its first moments: those must
    // be a tone, not silence.
    std::int64_t at = 0;

    void add(Part part, double hz, double hz2, double peakDb, std::int64_t frames) {
        s.segments.push_back({part, hz, hz2, peakDb, at, frames});
        at += frames + kGap;
    }
};

// Sample value of segment `g` at frame `n` of it, left and right, before
// the fade.
void sample(const Segment& g, std::int64_t n, double& l, double& r) {
    const double t = static_cast<double>(n) / kRate;
    const double w = 2 * std::numbers::pi * t;
    const double a = amplitude(g.peakDb);
    double v = 0;
    switch (g.part) {
    case Part::Silence:
        break;
    case Part::Smpte:
        v = a * (0.8 * std::sin(w * g.hz) + 0.2 * std::sin(w * g.hz2));
        break;
    case Part::Ccif:
        v = a * 0.5 * (std::sin(w * g.hz) + std::sin(w * g.hz2));
        break;
    case Part::Chirp: // its samples are put in after the rest
        break;
    default:
        v = a * std::sin(w * g.hz);
    }
    l = g.part == Part::RightOnly ? 0 : v;
    r = g.part == Part::LeftOnly ? 0 : v;
}

std::int32_t toInt24(double v) {
    return static_cast<std::int32_t>(std::clamp(std::lround(v * kFullScale), -8388608L, 8388607L));
}

void render(Signal& s) {
    std::int64_t total = kGap;
    for (const auto& g : s.segments)
        total = std::max(total, g.first + g.frames + kGap);
    s.samples.assign(static_cast<std::size_t>(total) * 2, 0);
    for (const auto& g : s.segments) {
        for (std::int64_t n = 0; n < g.frames; ++n) {
            double l = 0, r = 0;
            sample(g, n, l, r);
            const double f = envelope(g, n);
            l *= f;
            r *= f;
            const auto k = static_cast<std::size_t>(g.first + n) * 2;
            s.samples[k] = toInt24(l);
            s.samples[k + 1] = toInt24(r);
        }
    }
}

} // namespace

double envelope(const Segment& g, std::int64_t n) {
    const std::int64_t edge = std::min(n, g.frames - 1 - n);
    return edge >= kFade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / kFade);
}

const std::vector<double>& sweepFrequencies() {
    static const std::vector<double> f{20,   30,    50,    100,   200,   400,  1000,
                                       2000, 3000,  4000,  5000,  6000,  7000, 8000,
                                       9000, 10000, 12000, 15000, 18000, 20000};
    return f;
}

Signal makeSignal() {
    Builder b;
    b.add(Part::Reference, 1000, 0, kTestLevelDb, framesFor(1000, 0.5));
    for (double hz : sweepFrequencies())
        b.add(Part::Sweep, hz, 0, kTestLevelDb, framesFor(hz));
    b.add(Part::Quiet, 1000, 0, -60, framesFor(1000, 0.5));
    b.add(Part::Silence, 0, 0, -200, framesFor(1000, 1.0));
    b.add(Part::LeftOnly, 1000, 0, kTestLevelDb, framesFor(1000, 0.5));
    b.add(Part::RightOnly, 1000, 0, kTestLevelDb, framesFor(1000, 0.5));
    b.add(Part::Smpte, 60, 7000, kTestLevelDb, framesFor(60, 0.5));
    b.add(Part::Ccif, 19000, 20000, kTestLevelDb, framesFor(1000, 0.5));
    // Crosstalk below and above 1 kHz, where a card's layout shows most.
    for (double hz : {100.0, 10000.0}) {
        b.add(Part::LeftOnly, hz, 0, kTestLevelDb, framesFor(hz, 0.5));
        b.add(Part::RightOnly, hz, 0, kTestLevelDb, framesFor(hz, 0.5));
    }
    // The whole response from one sweep, with its pause for the tail.
    const Sweep sweep = reportSweep();
    b.add(Part::Chirp, 0, 0, 20 * std::log10(sweep.plan.peak),
          static_cast<std::int64_t>(sweep.samples.size()) + kReportSweepPause);
    render(b.s);
    const Segment& chirp = b.s.segments.back();
    for (std::size_t i = 0; i < sweep.samples.size(); ++i) {
        const auto v = static_cast<std::int32_t>(std::lround(sweep.samples[i] * (kFullScale - 1)));
        const auto k = static_cast<std::size_t>(chirp.first) * 2 + 2 * i;
        b.s.samples[k] = b.s.samples[k + 1] = v;
    }
    return b.s;
}

const Sweep& reportSweep() {
    static const Sweep s = makeSweep({});
    return s;
}

Signal makeCheckSignal() {
    Builder b;
    b.add(Part::Reference, 1000, 0, kTestLevelDb, framesFor(1000, 0.5));
    b.add(Part::LeftOnly, 1000, 0, kTestLevelDb, framesFor(1000, 0.3));
    b.add(Part::RightOnly, 1000, 0, kTestLevelDb, framesFor(1000, 0.3));
    b.add(Part::Silence, 0, 0, -200, framesFor(1000, 1.0));
    render(b.s);
    return b.s;
}

std::vector<std::uint8_t> wavFile(const std::vector<std::int32_t>& stereo) {
    const auto data = static_cast<std::uint32_t>(stereo.size() * 3);
    const auto header = audio::captureHeader(data, 24);
    std::vector<std::uint8_t> b(header.begin(), header.end());
    b.reserve(header.size() + data);
    for (std::int32_t v : stereo) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int k = 0; k < 3; ++k)
            b.push_back(static_cast<std::uint8_t>(u >> (8 * k)));
    }
    return b;
}

} // namespace qelvar::report

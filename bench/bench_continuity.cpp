// The continuity monitor's cost: ten seconds of a sweep of looped tones
// read back through a simulated card (every stretch judged), as the
// recorder's worker does it every few milliseconds.
#include "audio/continuity.h"
#include "audio/frame_ring.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

using qelvar::audio::ContinuityMonitor;
using qelvar::audio::FrameRing;

namespace {

constexpr std::int64_t kLag = 3000, kSeconds = 10, kFrames = kSeconds * 44100;

// Twenty steps of half a second, each a loop of whole cycles; the input is
// the output a round trip later, halved, with a slow ripple of the card's own.
void fill(FrameRing& out, FrameRing& in) {
    for (std::int64_t n = 0; n < kFrames + kLag; ++n) {
        const std::int64_t step = n / 22050, loop = 441;
        const double cycles = static_cast<double>(1 + step * 7 % 150);
        const auto v = static_cast<std::int32_t>(
            std::lround(16000 * std::sin(2 * M_PI * cycles * static_cast<double>(n % loop) / 441)));
        out.store(n, FrameRing::pack(v * 65536, -v * 65536));
        if (n >= kLag) {
            const std::uint64_t f = out.load(n - kLag);
            in.store(n, FrameRing::pack(FrameRing::left(f) / 2, FrameRing::right(f) / 2));
        }
    }
    out.publish(kFrames + kLag);
    in.publish(kFrames + kLag);
}

} // namespace

static void BM_TenSecondsOfASweep(benchmark::State& state) {
    FrameRing out, in;
    fill(out, in);
    for (auto _ : state) {
        ContinuityMonitor m(out, in);
        m.restart(kLag, 0);
        m.advance();
        benchmark::DoNotOptimize(m.judgedTo());
    }
    state.counters["audio_s_per_s"] = benchmark::Counter(
        static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TenSecondsOfASweep)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

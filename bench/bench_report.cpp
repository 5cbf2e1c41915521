// One take through the report's analysis: a second of 24-bit stereo at
// 44100 Hz, THD+N and THD of both channels. The goal is 5 ms a take. The
// FFT plan is made by the warm-up call, as the report run makes it once.
#include "report/channels.h"
#include "report/sweep.h"
#include "report/tone_figures.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

// Interleaved, as readClip gives a take: the right channel inverted.
std::vector<std::int32_t> oneSecondTake() {
    std::vector<std::int32_t> samples(2 * 44100);
    for (std::size_t i = 0; i < 44100; ++i) {
        const double t = 2 * std::numbers::pi * 1000 * double(i) / 44100;
        const double v = 0.7 * std::sin(t) + 1e-4 * std::sin(3 * t);
        const auto s = static_cast<std::int32_t>(std::lround(v * 8388607)) * 256;
        samples[2 * i] = s;
        samples[2 * i + 1] = -s;
    }
    return samples;
}

void BM_ToneTake(benchmark::State& state) {
    const auto frames = oneSecondTake();
    benchmark::DoNotOptimize(
        qelvar::report::analyseTone(qelvar::report::splitStereo(frames).left, 44100, 1000));
    for (auto _ : state) {
        const auto take = qelvar::report::splitStereo(frames);
        auto left = qelvar::report::analyseTone(take.left, 44100, 1000);
        auto right = qelvar::report::analyseTone(take.right, 44100, 1000);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
}
// An 8-s sweep's take (and half a second of tail) to its impulse, curves
// and harmonics. The goal: under 100 ms.
void BM_SweepAnalysis(benchmark::State& state) {
    qelvar::report::SweepPlan plan;
    plan.seconds = 8;
    const auto sweep = qelvar::report::makeSweep(plan);
    std::vector<double> take(sweep.samples.size() + 22050, 0.0);
    double y = 0;
    for (std::size_t i = 0; i < take.size(); ++i) {
        y = 0.3 * (i < sweep.samples.size() ? sweep.samples[i] : 0.0) + 0.7 * y;
        take[i] = y;
    }
    for (auto _ : state) {
        auto r = qelvar::report::analyseSweep(sweep, take);
        benchmark::DoNotOptimize(r.linear.data());
    }
}
BENCHMARK(BM_SweepAnalysis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToneTake)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

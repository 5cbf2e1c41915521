// Building and writing the largest tone: 10 Hz at 96000, "ST L-R", 24 bits.
#include "panel/tone.h"

#include <benchmark/benchmark.h>

#include <filesystem>

static void BM_LargestTone(benchmark::State& state) {
    auto dir = std::filesystem::temp_directory_path() / "qelvar-bench-tone";
    std::filesystem::create_directories(dir);
    qelvar::panel::Memory m;
    m.frequency = 10;
    m.rate = 96000;
    m.mode = "ST L-R";
    m.bits = 24;
    qelvar::panel::Tone tone;
    for (auto _ : state) {
        tone.compute(m);
        benchmark::DoNotOptimize(tone.writetofile(dir.string()));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LargestTone)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

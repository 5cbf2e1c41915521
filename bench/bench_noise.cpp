// The whole noise creation run (six files into a temporary folder), and for
// scale an external generator writing four seconds of pink noise.
#include "construct/noise/noise_run.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::filesystem::path benchDir(const char* name) {
    auto dir = std::filesystem::temp_directory_path() /
               (std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_NoiseRun(benchmark::State& state) {
    auto dir = benchDir("qelvar-bench-noise");
    qelvar::wav::FileImage image(3000000);
    auto rng = qelvar::noise::ClockedUniformSource::seededFromClock();
    qelvar::noise::NoiseRun run;
    for (auto _ : state) {
        auto r = run.run(image, dir.string(), rng);
        if (!r.ok)
            state.SkipWithError(("cannot write " + r.failedFile).c_str());
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_NoiseRun)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

bool haveSox() {
    for (const char* p : {"/usr/bin/sox", "/usr/local/bin/sox", "/bin/sox"})
        if (::access(p, X_OK) == 0)
            return true;
    return false;
}

// One sox process; false when it could not run or failed.
bool runSox(const std::string& out) {
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        std::freopen("/dev/null", "w", stderr);
        ::execlp("sox", "sox", "-n", "-r", "44100", "-c", "2", "-b", "16", out.c_str(), "synth",
                 "4", "pinknoise", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_SoxPinkNoise(benchmark::State& state) {
    if (!haveSox()) {
        state.SkipWithError("sox is not installed: skipped");
        return;
    }
    auto dir = benchDir("qelvar-bench-sox");
    std::string out = (dir / "pink.wav").string();
    for (auto _ : state)
        if (!runSox(out)) {
            state.SkipWithError("sox failed");
            break;
        }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SoxPinkNoise)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// Console output as usual, plus the medians kept for the closing ratio.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (r.aggregate_name == "median" && !r.error_occurred)
                medians[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto run = reporter.medians.find("BM_NoiseRun");
    auto sox = reporter.medians.find("BM_SoxPinkNoise");
    if (run != reporter.medians.end() && sox != reporter.medians.end())
        std::printf("median noise run / median sox pink noise = %.3f\n", run->second / sox->second);
    else
        std::printf("no ratio: one of the two benchmarks did not run\n");
    benchmark::Shutdown();
    return 0;
}

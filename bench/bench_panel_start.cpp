// Start-up of the oscillator panel: from constructing the window (help
// screen, data directory, set-up file, first tone build and its three
// files) to the window shown, offscreen, with a private HOME.
#include "panel/panel_window.h"

#include "audio/fake_sound.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

static void BM_PanelStart(benchmark::State& state) {
    qelvar::audio::FakeSound snd;
    for (auto _ : state) {
        auto* w = new qelvar::panel::PanelWindow(snd);
        w->show();
        QApplication::processEvents();
        state.PauseTiming();
        delete w;
        QApplication::processEvents();
        snd.calls.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PanelStart)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                            return *std::min_element(v.begin(), v.end());
                        })
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = std::filesystem::temp_directory_path() / "qelvar-bench-panel";
    std::filesystem::create_directories(home);
    qputenv("HOME", QByteArray::fromStdString(home.string()));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}

// The live input window's cost: one update (the meter fed with the input's
// latest frames, the spectra of both channels, the window painted) as its
// timer makes 25 a second. The goal: under 5 % of one core, 2 ms an update.
#include "audio/fake_sound.h"
#include "graph/live_window.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <numbers>

namespace {

// A 1 kHz tone at -3 dBFS coming in, 40 ms more of it at each look.
class ToneIn : public qelvar::audio::FakeSound {
  public:
    qelvar::audio::InputTail inputTail(std::size_t frames) const override {
        end_ += 1764;
        qelvar::audio::InputTail t{end_, std::vector<std::int32_t>(2 * frames)};
        for (std::size_t k = 0; k < frames; ++k) {
            const double n = double(end_ - std::int64_t(frames) + std::int64_t(k));
            t.stereo[2 * k] = t.stereo[2 * k + 1] = static_cast<std::int32_t>(
                1.5e9 * std::sin(2 * std::numbers::pi * 1000 * n / 44100));
        }
        return t;
    }

  private:
    mutable std::int64_t end_ = 20000;
};

void BM_LiveUpdate(benchmark::State& state) {
    ToneIn sound;
    qelvar::audio::setServices(&sound);
    auto* w = new qelvar::graph::LiveWindow("/tmp");
    w->resize(760, 560);
    QImage canvas(w->size(), QImage::Format_ARGB32_Premultiplied);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        w->update();
        w->render(&canvas);
        benchmark::DoNotOptimize(canvas.bits());
    }
    // The share of one core at the window's own rate.
    const double cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["core_share_pct"] =
        100.0 * cpu / double(state.iterations()) * qelvar::graph::LiveWindow::kUpdatesPerSecond;
    delete w;
    qelvar::audio::setServices(nullptr);
}
BENCHMARK(BM_LiveUpdate)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}

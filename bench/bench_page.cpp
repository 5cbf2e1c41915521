// Construction page builds: AUTOBUILD ALL FREQS (20 step files) and the
// 2000 Hz tone burst (848364 bytes).
#include "audio/fake_sound.h"
#include "construct/page_model.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct Page {
    Page() {
        char tmpl[] = "/tmp/qelvar-bench-page-XXXXXX";
        dir = mkdtemp(tmpl);
        model = std::make_unique<qelvar::construct::PageModel>(snd, dir.string());
        model->open();
    }
    ~Page() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    qelvar::audio::FakeSound snd;
    std::unique_ptr<qelvar::construct::PageModel> model;
};

void BM_AutobuildAllFreqs(benchmark::State& state) {
    Page page;
    for (auto _ : state) {
        page.model->autobuildAll();
        page.snd.calls.clear();
    }
}
BENCHMARK(BM_AutobuildAllFreqs)->Unit(benchmark::kMillisecond);

void BM_Pulse2000Hz(benchmark::State& state) {
    Page page;
    auto& c = page.model->controls();
    c.freq[20] = "2000";
    c.attL[20] = "6";
    c.attL[21] = "26";
    for (auto _ : state) {
        c.length[20] = "20";
        c.length[21] = "480";
        page.model->build(21);
        page.snd.calls.clear();
    }
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(page.dir / "tessalyf21.wav"));
}
BENCHMARK(BM_Pulse2000Hz)->Unit(benchmark::kMillisecond);

} // namespace

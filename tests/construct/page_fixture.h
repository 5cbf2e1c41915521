// A page model on a private data folder with a recording sound fake, and
// expected sample bytes worked from the 16-bit rule directly.
#pragma once

#include "audio/fake_sound.h"
#include "construct/page_model.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace qelvar::construct::testing {

using namespace qelvar::test;
using Calls = std::vector<audio::FakeSound::Call>;
using audio::FakeSound;

// Bytes from..to of b cut at its end; by default the samples after the header.
inline Bytes slice(const Bytes& b, std::size_t from = 44, std::size_t to = SIZE_MAX) {
    return Bytes(b.begin() + std::min(from, b.size()), b.begin() + std::min(to, b.size()));
}

// 16-bit code of s at gain g: a = (65535 × s) ÷ (2 ÷ g), + 65535 below 0,
// limited to 0..65535, nearest even. Gain 0 is silence.
inline std::uint16_t code16(double s, double g) {
    if (g == 0)
        return 0;
    double a = (65535.0 * s) / (2.0 / g) + (s < 0 ? 65535.0 : 0.0);
    return static_cast<std::uint16_t>(std::nearbyint(std::min(std::max(a, 0.0), 65535.0)));
}
inline double gainDb(double att) {
    return std::pow(10.0, -att / 20.0);
}

// The data bytes of `count` frames of s(θ), `perCycle` frames a turn.
template <class F> Bytes frames(std::size_t count, double perCycle, double gL, double gR, F s) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i)
        for (double g : {gL, gR}) {
            const std::uint16_t c =
                code16(s(6.283038530718 / perCycle * static_cast<double>(i)), g);
            out.insert(out.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
        }
    return out;
}
// Expected data bytes of `cycles` sine turns in `bytes` bytes.
inline Bytes sineData(std::size_t bytes, int cycles, double gL, double gR) {
    return frames(bytes / 4, static_cast<double>(bytes) / (4 * cycles), gL, gR,
                  [](double t) { return std::sin(t); });
}

class PageTest : public ::testing::Test {
  protected:
    void SetUp() override { open(); }
    void open() {
        page = std::make_unique<PageModel>(snd, dir.string());
        page->open();
    }
    PageControls& c() { return page->controls(); }
    Bytes stepFile(int r) { return readBytes(dir / ("tessalyf" + std::to_string(r) + ".wav")); }
    std::string path(const std::string& name) { return (dir / name).string(); }
    FakeSound::Call loopOf(int step) {
        return FakeSound::play(path("tessalyf" + std::to_string(step) + ".wav"), audio::kLoopFile);
    }
    // The calls of one stop, `times` over, then step `loop` set looping if given.
    Calls stopCalls(int times = 1, int loop = -1) {
        Calls out;
        for (int i = 0; i < times; ++i)
            out.insert(out.end(),
                       {FakeSound::play(path("stopwav.wav"), audio::kPlayOnce),
                        FakeSound::play("0", audio::kPurgeAll), FakeSound::mci("close all")});
        if (loop >= 0)
            out.push_back(loopOf(loop));
        return out;
    }
    // Every take saved reads -1.020 on the left (half scale, 00 40) and 0 on the right.
    void halfScaleCaptures() {
        snd.onSave = [](const std::string& p) {
            std::string data(48, '\0');
            for (int i = 0; i < 100; ++i)
                data += std::string("\x00\x40\x00\x00", 4);
            writeText(p, data);
        };
    }
    // The sound calls f makes.
    template <class F> Calls callsOf(F f) {
        snd.calls.clear();
        f();
        return snd.calls;
    }
    Calls tickCalls() {
        return callsOf([&] { page->tick(); });
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            page->tick();
    }
    // The steps whose files were set looping, in order.
    std::vector<int> loopedSteps() {
        std::vector<int> out;
        for (auto& call : snd.calls)
            for (int s = 0; s < 25; ++s)
                if (call == loopOf(s))
                    out.push_back(s);
        return out;
    }
    void runToEnd() {
        for (int i = 0; i < 100 && page->playing(); ++i)
            page->tick();
    }
    TempDir tmp;
    const fs::path dir = tmp.path;
    FakeSound snd;
    std::unique_ptr<PageModel> page;
};

} // namespace qelvar::construct::testing

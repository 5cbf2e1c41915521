#include "audio/converted_io.h"

#include "audio/aligner.h"

#include <algorithm>

namespace qelvar::audio {
namespace {
// Frames the engine renders at a time.
constexpr std::size_t kBlock = 256;
} // namespace

ConvertedOutput::ConvertedOutput(Engine& engine, int deviceRate)
    : engine_(engine), convert_(44100, deviceRate), block32_(kBlock * 2), block_(kBlock * 2) {}

void ConvertedOutput::fill(float* dst, std::size_t frames) {
    while (out_.size() / 2 - pos_ < frames) {
        engine_.renderOutput(block32_.data(), 2, kBlock);
        // Exact for 24-bit samples; floats hold no more.
        for (std::size_t i = 0; i < kBlock * 2; ++i)
            block_[i] = static_cast<float>(static_cast<double>(block32_[i]) / 2147483648.0);
        convert_.process(block_.data(), kBlock, out_);
    }
    std::copy_n(out_.begin() + static_cast<std::ptrdiff_t>(pos_ * 2), frames * 2, dst);
    pos_ += frames;
    if (pos_ * 4 >= out_.size()) { // over half read: drop what was
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(pos_ * 2));
        pos_ = 0;
    }
}

ConvertedInput::ConvertedInput(Engine& engine, int deviceRate)
    : rate_(deviceRate), engine_(engine), convert_(deviceRate, 44100) {}

void ConvertedInput::take(const float* src, std::size_t frames) {
    if (const int n = pad_.load(std::memory_order_acquire); n > 0) {
        pad_.store(0, std::memory_order_release);
        take(nullptr, static_cast<std::size_t>(n));
    }
    if (!src) {
        silence_.assign(frames * 2, 0.0f);
        src = silence_.data();
    }
    out_.clear();
    convert_.process(src, frames, out_);
    const std::size_t n = out_.size() / 2;
    if (out32_.size() < n * 2)
        out32_.resize(n * 2);
    for (std::size_t i = 0; i < n * 2; ++i)
        out32_[i] = toInt32(out_[i]);
    engine_.storeInput(out32_.data(), 2, n);
}

void makeRoundTripWhole(Engine& engine, ConvertedInput& input) {
    input.pad(wholeFramePad(engine.fraction.load(), input.rate()));
    for (int i = 0; i < 100 && !input.padded(); ++i)
        if (engine.waitStop(std::chrono::milliseconds(5)))
            return;
    engine.probeAgain();
    engine.measureLatency(engine.latency.load());
}

void keepRoundTripWhole(Engine& engine, ConvertedInput& input) {
    engine.realign = [&engine, &input] {
        // The fraction the round trip has now, then whole again.
        engine.probeAgain();
        if (engine.measureLatency(engine.latency.load()))
            makeRoundTripWhole(engine, input);
    };
}

} // namespace qelvar::audio

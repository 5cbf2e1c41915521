// The program's side of a device that runs at another rate than 44100:
// the frames the engine renders, converted up for the device, and the
// frames the device delivers, converted down for the engine. Both keep
// their work buffers between calls, so after the first blocks the audio
// thread allocates nothing.
#pragma once

#include "audio/engine.h"
#include "audio/rate_converter.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace qelvar::audio {

class ConvertedOutput {
  public:
    ConvertedOutput(Engine& engine, int deviceRate);
    // The next `frames` stereo frames at the device's rate, as floats.
    void fill(float* dst, std::size_t frames);

  private:
    Engine& engine_;
    RateConverter convert_;
    std::vector<std::int32_t> block32_;
    std::vector<float> block_, out_;
    std::size_t pos_ = 0; // first unread frame of out_
};

class ConvertedInput {
  public:
    ConvertedInput(Engine& engine, int deviceRate);
    // `frames` stereo frames at the device's rate; null: silence.
    void take(const float* src, std::size_t frames);
    // Puts `frames` frames of silence before the next ones taken.
    void pad(int frames) { pad_.store(frames, std::memory_order_release); }
    bool padded() const { return pad_.load(std::memory_order_acquire) == 0; }
    int rate() const { return rate_; }

  private:
    int rate_;
    std::atomic<int> pad_{0};
    Engine& engine_;
    RateConverter convert_;
    std::vector<float> silence_, out_;
    std::vector<std::int32_t> out32_;
};

// Where rates are converted the round trip is rarely a whole number of
// frames at 44100, and a take lined up to the nearest frame then differs
// from what was played by a fraction of a frame: enough to hide the round
// trip of a high tone among its neighbours. Silence put before the input's
// conversion moves it by steps of 44100/rate of a frame, which can make it
// whole to within 1/320 of a frame (at 48000); the probe is then played
// again. Call once the round trip has been measured.
void makeRoundTripWhole(Engine& engine, ConvertedInput& input);

// A server that loses or inserts frames of its own rate (PipeWire does when
// its graph is reconfigured) moves the round trip by a fraction of a frame
// at 44100 (256 frames at 48000 are 235.2). The takes that find it moved
// are suspect; once the path is idle it is lined up again. Until the
// engine's worker stops serving.
void keepRoundTripWhole(Engine& engine, ConvertedInput& input);

} // namespace qelvar::audio

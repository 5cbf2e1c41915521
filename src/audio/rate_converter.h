// Rate conversion of a running stereo stream between the program's 44100
// frames a second and the device's own rate, so that no conversion in the
// sound server touches the signal: libsoxr at very high quality (flat to
// 0.01 dB at 20 kHz, linear phase). Buffers grow to their working size once
// and are then reused, so converting in the audio thread allocates nothing
// after the first blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct soxr;

namespace qelvar::audio {

class RateConverter {
  public:
    RateConverter(double fromRate, double toRate);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    bool ok() const { return soxr_ != nullptr; }
    // Converts `frames` interleaved stereo frames; the frames that come out
    // are appended to `out`.
    void process(const float* in, std::size_t frames, std::vector<float>& out);
    // Frames out per frame in.
    double ratio() const { return ratio_; }

  private:
    soxr* soxr_ = nullptr;
    double ratio_ = 1;
    std::vector<float> scratch_;
};

// Float samples in [-1, 1) to 32-bit ones (full scale 2^31), rounded to
// the nearest and held at full scale.
std::int32_t toInt32(float v);

} // namespace qelvar::audio

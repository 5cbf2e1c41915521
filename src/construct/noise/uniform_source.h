// The uniform random source of the noise run: single-precision values in
// [0, 1) and a reseed that mixes the clock into the generator's state.
#pragma once

#include <cstdint>

namespace qelvar::noise {

class UniformSource {
  public:
    virtual ~UniformSource() = default;
    // One draw, 0 <= u < 1.
    virtual float u() = 0;
    // Mixes the current clock value into the state. A reseed while the
    // clock has not moved must still not repeat earlier draws.
    virtual void reseedFromClock() = 0;
};

// A monotonic clock reading in nanoseconds, cheap enough to be read once
// per draw pair (the run reseeds about 700000 times).
std::uint64_t clockTicks();

// Splitmix64 generator. A reseed folds the clock value and a reseed counter
// into the state, so an unchanged clock never brings back earlier draws.
// The program seeds it from the clock; tests give a fixed seed and a
// frozen clock, which makes every run repeat exactly.
class ClockedUniformSource final : public UniformSource {
  public:
    using Clock = std::uint64_t (*)();
    explicit ClockedUniformSource(std::uint64_t seed, Clock clock = &clockTicks);

    // The program's source: seeded from the wall clock and the monotonic
    // clock together, so two program starts never share a sequence.
    static ClockedUniformSource seededFromClock();

    // Inline, so that callers holding this type draw without a virtual call.
    float u() override {
        state_ += golden;
        // The top 24 bits fill a float's mantissa exactly: 0 <= u <= 1 - 2^-24.
        return static_cast<float>(static_cast<std::uint32_t>(mix(state_) >> 40)) * 0x1p-24f;
    }
    void reseedFromClock() override {
        ++reseeds_;
        state_ = mix(state_ ^ clock_() ^ (reseeds_ * golden));
    }

  private:
    static constexpr std::uint64_t golden = 0x9E3779B97F4A7C15ULL;
    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
    std::uint64_t reseeds_ = 0;
    Clock clock_;
};

} // namespace qelvar::noise

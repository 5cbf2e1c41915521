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

    float u() override;
    void reseedFromClock() override;

  private:
    std::uint64_t state_;
    std::uint64_t reseeds_ = 0;
    Clock clock_;
};

} // namespace qelvar::noise

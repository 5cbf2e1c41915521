#include "construct/noise/uniform_source.h"

#include <chrono>
#include <ctime>

namespace qelvar::noise {

namespace {

constexpr std::uint64_t golden = 0x9E3779B97F4A7C15ULL;

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

std::uint64_t clockTicks() {
#ifdef CLOCK_MONOTONIC_COARSE
    // The coarse clock costs a few nanoseconds; its resolution does not
    // matter since every reseed also mixes in a counter.
    timespec ts{};
    if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts) == 0)
        return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ULL +
               static_cast<std::uint64_t>(ts.tv_nsec);
#endif
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

ClockedUniformSource::ClockedUniformSource(std::uint64_t seed, Clock clock)
    : state_(mix(seed + golden)), clock_(clock ? clock : &clockTicks) {}

float ClockedUniformSource::u() {
    state_ += golden;
    // The top 24 bits fill a float's mantissa exactly: 0 <= u <= 1 - 2^-24.
    return static_cast<float>(static_cast<std::uint32_t>(mix(state_) >> 40)) * 0x1p-24f;
}

void ClockedUniformSource::reseedFromClock() {
    ++reseeds_;
    state_ = mix(state_ ^ clock_() ^ (reseeds_ * golden));
}

} // namespace qelvar::noise

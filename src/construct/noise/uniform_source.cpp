#include "construct/noise/uniform_source.h"

#include <chrono>
#include <ctime>

namespace qelvar::noise {

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

ClockedUniformSource ClockedUniformSource::seededFromClock() {
    auto wall =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return ClockedUniformSource(mix(wall) ^ clockTicks());
}

} // namespace qelvar::noise

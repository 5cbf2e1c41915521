// What a take says about the set-up, beside the figures: levels too hot or
// too low for the test tone, a dead or mono input, swapped or inverted
// channels, hum and DC with nothing playing. Each is a finding in words a
// user can act on; none stops a measurement.
#pragma once

#include "audio/sound.h"
#include "report/test_signal.h"

#include <cstdint>
#include <vector>

namespace qelvar::report {

// The input's peak at or above this with the tone at -3 dBFS: it clips, or
// has no headroom left for a louder card.
inline constexpr double kNearFullScaleDbfs = -0.5;
// The tone this far below what was played: the noise and distortion
// figures suffer from the missing gain.
inline constexpr double kTooLowDb = 20;
// A channel whose tone is below this carries nothing of it.
inline constexpr double kDeadDbfs = -80;
// Hum (50 or 60 Hz or a harmonic) above this, and standing this far above
// the noise around it, with nothing playing.
inline constexpr double kHumDbfs = -90;
inline constexpr double kHumAboveNoiseDb = 10;
// A DC offset above this.
inline constexpr double kDcDbfs = -60;

// Takes `take` (24-bit in 32-bit words as readClip gives it, full scale
// 2^31) of `signal`, lined up on its first frame. Uses the reference tone,
// the one-sided tones and the silence, where the signal has them.
std::vector<audio::SetupNote> soundChecks(const Signal& signal,
                                          const std::vector<std::int32_t>& take);

} // namespace qelvar::report

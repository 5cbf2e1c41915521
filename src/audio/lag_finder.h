// Finding the round trip of one take in the signal itself: the frames the
// callback rendered are kept beside the frames it read back, and a stretch
// of the output (best one holding a change of sound) is looked for in the
// input near the lag expected. The sound server can drop or insert frames
// without telling the stream, so a lag measured once when the stream
// opened may no longer hold.
#pragma once

#include "audio/frame_ring.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qelvar::audio {

struct LagMatch {
    std::int64_t lag = -1; // frames; -1 when nothing could be searched
    double corr = 0;       // normalised correlation there, 0..1
};

// Best normalised correlation of the packed stereo frames `ref` against
// `input` over every offset at which `ref` fits wholly inside `input`
// (input[offset + k] lines up with ref[k]); both channels count. Offsets
// whose correlation is within a hair of the best one are equally good (a
// periodic sound): the one nearest `preferred` is taken.
LagMatch bestOffset(std::span<const std::uint64_t> ref, std::span<const std::uint64_t> input,
                    std::int64_t preferred);

// Normalised correlation of `ref` against input[offset, offset + ref.size());
// 1 when both are silent, 0 when only one is.
double correlationAt(std::span<const std::uint64_t> ref, std::span<const std::uint64_t> input,
                     std::int64_t offset);

// Frames [from, from + count) of a ring, or of nothing where the ring no
// longer (or not yet) holds them: the result is cut at the first frame
// that can't be read.
std::vector<std::uint64_t> ringFrames(const FrameRing& ring, std::int64_t from, std::int64_t count);

// Searches the output around output frame `at` in the input at lags
// [expected - span, expected + span], as far as the input has arrived.
// `covered` tells whether every lag of that range could be tried.
// Frames of output taken on either side of `at`.
inline constexpr std::int64_t kLagSide = 1024;

struct LagSearch {
    LagMatch match;
    bool covered = false;
};
LagSearch findLag(const FrameRing& out, const FrameRing& in, std::int64_t at, std::int64_t expected,
                  std::int64_t span);

// When the frames around `at` never came back whole (the server dropped
// some of them): the earliest lag in the same range at which the input
// holds the output from `at` on.
LagSearch findOnset(const FrameRing& out, const FrameRing& in, std::int64_t at,
                    std::int64_t expected, std::int64_t span);

} // namespace qelvar::audio

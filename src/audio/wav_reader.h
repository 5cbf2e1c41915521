// Reads a WAV file into what the player streams: 16-bit stereo frames at
// the stream's rate. libsndfile honours the declared data chunk, so bytes
// after it (or a chunk that claims more than the file holds) never play.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qelvar::audio {

// Interleaved stereo 16-bit frames.
struct Clip {
    std::vector<std::int16_t> samples;
    std::size_t frames() const { return samples.size() / 2; }
};

// Longest sound the player takes in (30 minutes): bounds memory for a
// file whose header claims more than any real step or noise file.
inline constexpr std::int64_t kMaxClipFrames = 44100LL * 60 * 30;
// Files at a lower rate are no sound the program makes, only a damaged or
// hand-edited one; played at 44100 each of their frames would grow into
// thousands.
inline constexpr int kMinRate = 1000;

// The file's declared data as stereo frames at `rate`; nullopt for a
// missing, unreadable or empty file. Mono is copied to both channels,
// channels past the second are dropped, 8- and 24-bit samples are scaled
// to 16 bits.
std::optional<Clip> readClip(const std::string& path, int rate = 44100);

// Linear-interpolation resampling of a looped sound: the output holds
// round(frames × to ÷ from) frames and interpolates across the loop seam,
// so the resampled sound still loops without a jump.
Clip resampleLoop(const Clip& in, int from, int to);

} // namespace qelvar::audio

// Reads a WAV file into what the player streams: 32-bit stereo frames at
// the stream's rate. libsndfile honours the declared data chunk, so bytes
// after it (or a chunk that claims more than the file holds) never play.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qelvar::audio {

// Interleaved stereo frames, full scale 2^31 whatever the file held: a
// 16-bit sample s is s << 16, a 24-bit one s << 8. `bits` is the depth the
// sound carries (16, or 24 for a file of more than 16 bits); what comes
// back of it is saved at that depth.
struct Clip {
    std::vector<std::int32_t> samples;
    int bits = 16;
    std::size_t frames() const { return samples.size() / 2; }
};

// A 32-bit sample at `bits` bits: rounded to the nearest step, held at
// that depth's full scale (toBits(v, 16) is a 16-bit sample).
inline std::int32_t toBits(std::int32_t v, int bits) {
    const int shift = 32 - bits;
    const std::int64_t top = (std::int64_t{1} << (bits - 1)) - 1;
    const std::int64_t r = (std::int64_t{v} + (std::int64_t{1} << (shift - 1))) >> shift;
    return static_cast<std::int32_t>(r > top ? top : r);
}

// Longest sound the player takes in (30 minutes): bounds memory for a
// file whose header claims more than any real step or noise file.
inline constexpr std::int64_t kMaxClipFrames = 44100LL * 60 * 30;
// Files at a lower rate are no sound the program makes, only a damaged or
// hand-edited one; played at 44100 each of their frames would grow into
// thousands.
inline constexpr int kMinRate = 1000;

// The file's declared data as stereo frames at `rate`; nullopt for a
// missing, unreadable or empty file. Mono is copied to both channels,
// channels past the second are dropped; 8-bit samples play as 16-bit ones,
// 24-bit, 32-bit and float ones as 24-bit.
std::optional<Clip> readClip(const std::string& path, int rate = 44100);

// Linear-interpolation resampling of a looped sound: the output holds
// round(frames × to ÷ from) frames and interpolates across the loop seam,
// so the resampled sound still loops without a jump.
Clip resampleLoop(const Clip& in, int from, int to);

} // namespace qelvar::audio

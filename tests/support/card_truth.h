// What a row should read through a card-like path, worked out apart from
// the program: the sequence as played (a recording of the path's input),
// the same sequence run through the path's plugins offline (scripts/card-path
// truth), and the row's window in played frames, read by the test's own
// transcription of the page's level arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qelvar::test::card {

// A WAV file's samples as 32-bit full scale (a 16-bit sample v is v << 16,
// a float f is f * 2^31, clamped), interleaved.
struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<std::int32_t> samples;
    std::int64_t frames() const {
        return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
    std::int32_t at(std::int64_t frame, int channel) const {
        return frame >= 0 && frame < frames() ? samples[frame * channels + channel] : 0;
    }
};

// PCM 8/16/24/32-bit and 32/64-bit float, plain or extensible. Anything
// else, or a file that cannot be read, gives an empty Sound and `error`.
Sound readWav(const std::string& path, std::string* error = nullptr);

// A 32-bit sample as the program keeps a 16-bit one: rounded half up,
// clamped to 32767.
std::int16_t to16(std::int32_t v);

// The first frame at or after `from` where `played` holds the step's first
// loop, every sample equal at 16 bits; -1 when there is none.
std::int64_t findLoop(const Sound& played, const Sound& step, std::int64_t from);

// Where step 1, 2, ... first played, each found after the one before
// (-1 from the first that is missing on).
std::vector<std::int64_t> findSteps(const Sound& played, const std::vector<Sound>& steps);

// A 16-bit stereo capture file as the program writes one: 44 header bytes
// and the frames [first, first + frames) of `filtered` (silence outside it).
std::vector<unsigned char> captureImage(const Sound& filtered, std::int64_t first,
                                        std::int64_t frames);

// The page's left and right reading of that capture.
std::pair<double, double> truthLevels(const Sound& filtered, std::int64_t first,
                                      std::int64_t frames);

// Where a capture lies in the offline run: the shift d (|d| <= span) for
// which every frame of `capture` equals frame first + d + i of `filtered` at
// 16 bits; none when it is nowhere near exact. 0 is the ideal window.
std::optional<std::int64_t> captureShift(const Sound& filtered, std::int64_t first,
                                         const Sound& capture, std::int64_t span = 64);

// How well `got` (a recording of the path's output) repeats `expected` (the
// offline run): the lag with the best match (got frame = expected frame +
// lag) and, over the frames both hold once `settle` frames into the sound,
// the largest difference at 16 bits.
struct Agreement {
    bool found = false;
    std::int64_t lag = 0;
    std::int64_t compared = 0;    // frames compared
    int maxDiff = 0;              // LSB at 16 bits
    double rmsDiff = 0;           // LSB
    std::int64_t worstFrame = -1; // in expected's frames
    double correlation = 0;       // normalised, at the lag
};
Agreement compare(const Sound& expected, const Sound& got, std::int64_t settle = 0);

} // namespace qelvar::test::card

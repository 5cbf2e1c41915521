// The sound-card test run's signal: every test tone and pause of the run,
// back to back in one 24-bit stereo 44100 Hz file, so that one take holds
// them all and the run lasts hardly longer than its sounds. 24 bits carry
// a distortion product of -100 dB and less, which 16 bits would bury in
// their own rounding.
#pragma once

#include "report/sweep.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::report {

inline constexpr int kRate = 44100;
// Peak level of the test tones: -3 dBFS, the usual level for THD+N.
inline constexpr double kTestLevelDb = -3.0;
// Full scale of the signal's 24-bit samples.
inline constexpr double kFullScale = 8388608.0;
inline constexpr int kSignalBits = 24;

enum class Part {
    Sweep,     // a sine on both channels at one step's frequency
    Reference, // 1 kHz on both channels: THD+N, polarity
    Quiet,     // 1 kHz at -60 dBFS: dynamic range
    Silence,   // noise level
    LeftOnly,  // 1 kHz on the left only: crosstalk to the right
    RightOnly, // and the other way
    Smpte,     // 60 Hz and 7 kHz, 4:1
    Ccif,      // 19 kHz and 20 kHz, equal
    Chirp,     // a sweep and its pause: the whole response
};

struct Segment {
    Part part;
    double hz = 0;           // the tone (the low tone of SMPTE, the lower of CCIF)
    double hz2 = 0;          // the second tone of SMPTE and CCIF
    double peakDb = 0;       // peak level of the whole segment, dBFS
    std::int64_t first = 0;  // first frame in the signal
    std::int64_t frames = 0; // frames of sound (fades included)
    // The frames to analyse: the sound without its fades and the first
    // moments a device may still be settling in.
    std::int64_t analyseFirst() const { return first + kSettle; }
    std::int64_t analyseFrames() const { return frames - 2 * kSettle; }
    static constexpr std::int64_t kSettle = 1280; // past the fade
};

// The gain of frame n of a segment: its raised-cosine ends.
double envelope(const Segment& g, std::int64_t n);

// The sweep's frequencies: the construction page's default table.
const std::vector<double>& sweepFrequencies();

struct Signal {
    std::vector<Segment> segments;
    std::vector<std::int32_t> samples; // interleaved stereo, 24-bit values
    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size() / 2); }
    // The frames a take must hold for every segment to be read.
    std::int64_t framesRead() const {
        return segments.empty() ? 0
                                : segments.back().analyseFirst() + segments.back().analyseFrames();
    }
};

Signal makeSignal();
// The sweep at the end of makeSignal()'s signal (2 s, 10 Hz up, -6 dBFS)
// and the silence after it for the path's tail.
const Sweep& reportSweep();
inline constexpr std::int64_t kReportSweepPause = 22050;
// The set-up check's signal: the reference tone, each channel alone, and a
// second of silence (hum, DC), about 2.5 s in all.
Signal makeCheckSignal();

// 24-bit samples as a WAV file of the capture's layout (stereo, 44100).
std::vector<std::uint8_t> wavFile(const std::vector<std::int32_t>& stereo);

} // namespace qelvar::report

// Watches the input for timing faults: frames the sound server dropped,
// inserted or blanked on the way, and the path moving. What a sound card
// does to the sound (gain, filters, noise, distortion, clipping) is never
// one of them, so the input is never compared with the output sample for
// sample. Instead:
//
//   Wherever the output repeats itself with a period P (a looped step
//   file, the steady part of a test tone), any time-invariant path gives
//   back an input that repeats with the same P once it has settled, what
//   ever it does to the sound. Where the input stops doing so, the frames
//   did not come back in step: the first frame that differs from the one a
//   period before is where they broke off.
//
// The input is read at the path's round trip (measured with a broadband
// probe), in stretches of kStretch output frames. A stretch's mismatch is
// the energy of in[n] - in[n - P] against that of the two; the path's own
// noise and the end of its settling give every stretch some, so a stretch
// breaks only when its mismatch stands far above that of its neighbours
// in the same sound (and above kFloor), and the difference starts at once
// where it breaks (a path still settling changes it slowly). A stretch
// alone in its sound, silence and sounds that do not repeat within
// kMaxPeriod frames are not judged.
//
// The first period and kSettle frames of each sound have no period before
// them in the same sound; they are read against the period after them
// instead. There the difference in[n] - in[n + P] is large only where the
// sound had not yet come back (the onset, and a filter's first ringing,
// which dies away smoothly), so frames that broke off show as a stretch of
// difference that held on and ends at one frame (kSettleMargin frames or
// more past the sound's start): the frame where they broke off.
#pragma once

#include "audio/frame_ring.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>

namespace qelvar::audio {

class ContinuityMonitor {
  public:
    static constexpr std::int64_t kStretch = 512;
    static constexpr std::int64_t kMaxPeriod = 8192;
    static constexpr std::int64_t kSettle = 512;
    // How far a stretch's mismatch must stand above its neighbours'.
    static constexpr double kFactor = 8;
    // Below this share no break is seen (about -40 dB: a shift of one
    // frame in a 100 Hz tone leaves 2e-4).
    static constexpr double kFloor = 1e-4;
    // A break begins at once: the difference over kEdge frames from where
    // it begins stands kSudden times above that over the kEdge before.
    static constexpr std::int64_t kEdge = 64;
    static constexpr double kSudden = 16;
    // Output samples closer than this (2 steps of 24 bits, in 32-bit
    // units) count as the same: a tone computed afresh each period may
    // round a sample the other way.
    static constexpr std::int32_t kSame = 512;
    // An output whose peak stays at or below this (16-bit steps) is silence.
    static constexpr std::int32_t kQuiet = 16;
    // Input frames of nothing at all (every bit zero: no card's noise floor
    // gives that) this long while a sound plays are a blank the server put
    // in, wherever they fall, settling or not.
    static constexpr std::int64_t kBlank = 64;
    // Where a sound's start may still differ from its next period without
    // a break: a path's own delay beyond its impulse's onset.
    static constexpr std::int64_t kSettleMargin = 2 * kEdge;

    ContinuityMonitor(const FrameRing& out, const FrameRing& in) : out_(out), in_(in) {}

    // Reads the input at round trip `lag` from output frame `from` on,
    // forgetting the breaks it saw from there on (read at another round trip).
    void restart(std::int64_t lag, std::int64_t from);
    // Judges every stretch whose input has come back.
    void advance();

    std::int64_t lag() const { return lag_; }
    // Output frame before which every stretch has been judged.
    std::int64_t judgedTo() const {
        return std::min({judged_, blankNext_, settle_ ? settle_->from : judged_});
    }
    // The output frame of the first frame that broke off in [from, to), if any.
    std::optional<std::int64_t> firstBreak(std::int64_t from, std::int64_t to) const;
    std::int64_t breaks() const { return count_; }

    // The stretches judged in output frames [from, to): how many, how many
    // of them came back unlike themselves a period before (mismatch above
    // a half: the input does not repeat with the output at all), and their
    // mean power a sample in 16-bit steps squared.
    struct Likeness {
        int stretches = 0;
        int unlike = 0;
        double power = 0;
    };
    Likeness likeness(std::int64_t from, std::int64_t to) const;

  private:
    struct Stretch {
        std::int64_t at = 0;
        double mismatch = 0; // share of the energy the difference holds
        double diff = 0;     // the difference's energy
        double power = 0;    // of the input, a sample
    };

    bool findSound(std::int64_t from);
    bool repeats(std::int64_t from, std::int64_t to, std::int64_t period) const;
    std::int64_t firstChange(std::int64_t from, std::int64_t to, std::int64_t period) const;
    bool quiet(std::int64_t from, std::int64_t to) const;
    Stretch measure(std::int64_t at) const;
    double difference(std::int64_t n) const;
    std::int64_t breakPoint(const Stretch& s) const;
    bool abrupt(std::int64_t at) const;
    void decide(const Stretch& s, double before, double after);
    void endSound();
    void noteBreak(std::int64_t at);
    void findBlanks();
    bool checkSettling();

    const FrameRing& out_;
    const FrameRing& in_;
    std::int64_t lag_ = -1;
    std::int64_t next_ = 0;   // output frame of the next stretch
    std::int64_t judged_ = 0; // everything before this is judged
    std::int64_t period_ = 0; // of the sound being read; 0: none yet
    std::int64_t soundStart_ = 0;
    std::int64_t verified_ = 0;    // the output repeats up to here
    std::int64_t blankNext_ = 0;   // the next output frame looked at for blanks
    std::int64_t blankStart_ = -1; // where the run of zeros being read began
    bool heard_ = false;           // the input held anything since restart()
    // The last stretch measured, waiting for the one after it to judge it,
    // and the mismatch of the one before it (negative: none).
    std::optional<Stretch> pending_;
    double before_ = -1;
    // The start of the sound being read, its first period and kSettle
    // frames, still to be looked at against the period after it.
    struct Settling {
        std::int64_t from, to, period;
    };
    std::optional<Settling> settle_;
    std::deque<std::int64_t> breaks_; // output frames, oldest first
    std::deque<Stretch> measured_;    // the latest stretches, oldest first
    std::int64_t count_ = 0;
};

} // namespace qelvar::audio

// Finding the round trip of the sound path in the signal itself, and the
// frame arithmetic that lines a recording up with the sound being played.
//
// A short pseudo-random burst is played once when the stream opens and
// looked for in the input by normalised cross-correlation; the lag of the
// best match is the number of frames between writing a frame and reading
// it back. Neither the host API's latency figures nor its timestamps
// predict that lag reliably, the signal does.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qelvar::audio {

// The burst: `frames` values of ±`level` from a 16-bit maximal-length
// shift register (a flat spectrum, one sharp correlation peak).
std::vector<std::int16_t> probeBurst(std::size_t frames, std::int16_t level);

struct Match {
    std::int64_t lag = -1; // frames; -1 when nothing was searched
    double corr = 0;       // normalised correlation at that lag, 0..1
    // The channels that came back upside down: a card may invert either.
    bool invertedL = false, invertedR = false;
};

// Best normalised correlation of `probe` (played on both channels) against
// the input's `left` and `right` over lags [lagBegin, lagEnd): input[lag +
// k] lines up with probe[k]. Each channel counts by the size of its match,
// whatever its sign, so a path that inverts one channel or both matches
// as well as a wire: (|dot L| + |dot R|) / (|probe| (|L| + |R|)). Lags
// whose window would run past the input are skipped. `all`, when given,
// gets the correlation at every lag tried, in order.
Match bestMatch(std::span<const float> probe, std::span<const float> left,
                std::span<const float> right, std::int64_t lagBegin, std::int64_t lagEnd,
                std::vector<float>* all = nullptr);
// The same with one input carried on both channels.
inline Match bestMatch(std::span<const float> probe, std::span<const float> input,
                       std::int64_t lagBegin, std::int64_t lagEnd,
                       std::vector<float>* all = nullptr) {
    return bestMatch(probe, input, input, lagBegin, lagEnd, all);
}

// Whether `best` stands alone among the correlations `all` (lag `first`
// at index 0): nothing more than `apart` frames from it reaches half of it.
// A path that filters the probe lowers its match (a low-pass at 2 kHz to
// 0.4) but leaves it alone; noise matches weakly everywhere.
bool standsAlone(const Match& best, std::span<const float> all, std::int64_t first,
                 std::int64_t apart = 32);

// Where the path's impulse begins, at or before the best match: a filter
// spreads the probe's match over a few frames and peaks later than the
// sound first comes back (a 2 kHz low-pass 5 frames later), so a take
// placed by the peak would reach into the next step. The rising edge
// before the peak (correlations `all` from lag `first`, as many as
// reach a quarter of the peak) is followed back to where it starts.
std::int64_t impulseOnset(const Match& best, std::span<const float> all, std::int64_t first);

// The part of a frame by which `probe` sits later in `input` than at
// `lag` (input[lag + k] lines up with probe[k]), from -0.5 to 0.5: the
// slope of the cross spectrum's phase over the band up to `topFraction` of
// the sampling rate, weighted by its magnitude. Exact for a delayed copy
// of a band-limited probe; 0 when the input does not reach around it.
double fractionalLag(std::span<const float> probe, std::span<const float> input, std::int64_t lag,
                     double topFraction = 0.36);

// The number of frames at the converted rate `rate` to insert before the
// input's conversion to 44100 so that a round trip of `fraction` of a frame
// past a whole number becomes whole: the one of [0, rate / gcd) leaving
// the smallest part.
int wholeFramePad(double fraction, int rate);

// Output frame at which a recording asked for at output frame `now` starts
// while a sound that began at frame `soundStart` loops every `loopFrames`
// frames: the latest loop boundary not after `now`, so the recording opens
// on the sound's first sample. A sound whose first frame is still being
// written out (the device publishes it within the callback that renders
// it, before it counts that callback's frames) starts the recording on that
// frame. A sound played once (no loop) has one boundary, its first frame: a
// take asked for just after playing it holds all of it, however many frames
// the device rendered in between. With a boundary more than `maxBack`
// frames ago, the recording starts at `now`.
std::int64_t alignedStart(std::int64_t now, std::int64_t soundStart, std::int64_t loopFrames,
                          std::int64_t maxBack);

// A recording of `frames` frames cut to whole loops of `loopFrames`; left
// as it is when it holds less than one loop or nothing loops.
std::int64_t trimToLoops(std::int64_t frames, std::int64_t loopFrames);

} // namespace qelvar::audio

// The noise creation run behind "NOISE FILE CREATION": six looping noise
// files (white, IEC, SUB, pink, UL, CSA) built in the page's file image and
// written to the data directory in a fixed order.
#pragma once

#include "construct/noise/noise_filters.h"
#include "construct/noise/uniform_source.h"
#include "formats/wav.h"

#include <array>
#include <string>
#include <string_view>

namespace qelvar::noise {

// The six files in the order the run writes them; the page's WHT, IEC,
// SUB, PINK, UL and CSA buttons loop them.
inline constexpr std::array<std::string_view, 6> noiseFileNames{
    "whnoise.wav", "iecnoise.wav", "subnoise.wav", "pinknoise.wav", "ulnoise.wav", "csanoise.wav"};

// Random source of the white noise: a 102-entry shuffle table.
// initialize reseeds and fills randtable(0..101); newrandom reseeds, draws
// r, returns randtable(floor(101 r)) (never entry 101) and refills it.
void initialize(NoiseState& st, UniformSource& rng);
double newrandom(NoiseState& st, UniformSource& rng);

// Fills whiteL/whiteR with shuffled values in [−0.5, 0.5), then draws
// noiseL/noiseR with replacement from them (index 0 gives 0), scaled to
// ±16383.75 (step 0's gains, both 1), and encodes every frame of the white
// file. Header sizes are the run's.
void noisedatacalc(NoiseState& st, UniformSource& rng, wav::FileImage& image);

// Header fields of the run: 16-bit stereo at 44100, 705600 data bytes.
void putNoiseHeader(wav::FileImage& image);

struct RunResult {
    bool ok = true;
    std::string failedFile; // name from noiseFileNames of the file that failed
};

class NoiseRun {
  public:
    // The image is the page's own buffer (elements 0..3000000); dir is the
    // data directory. Files are replaced whole, each exactly as long as
    // the run writes it. A file that cannot be written ends the run; the
    // files before it stay. An image below 705644 bytes writes nothing and
    // names the first file. After the run step 0's gains are 1 (the caller
    // sets them in its step table), noiseL/noiseR hold twice the pink
    // noise and the image holds the CSA file.
    RunResult run(wav::FileImage& image, const std::string& dir, UniformSource& rng);

    NoiseState& state() { return st_; }

  private:
    NoiseState st_;
};

} // namespace qelvar::noise

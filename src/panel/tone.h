// Single-tone synthesis into the panel's file image: a whole number of
// sine cycles (1 below 1001 Hz, else 10) at the memory's rate, width and
// channel mode, written as pemtest.wav.
#pragma once

#include "formats/wav.h"
#include "panel/memories.h"

#include <cstdint>
#include <string>

namespace qelvar::panel {

// A full turn and half a turn of phase as the system has always used them;
// they fall just short of 2π and π, which keeps every sample below full
// scale.
inline constexpr double kFullTurn = 6.283038530718;
inline constexpr double kHalfTurn = 3.141519265359;

class Tone {
  public:
    static constexpr std::size_t kLastElement = 60000;

    Tone();

    wav::FileImage image{kLastElement};

    // Derived values of the last build.
    int C = 2;          // channels
    int B = 2;          // bytes per sample
    int n = 1;          // cycles in the file
    std::int64_t L = 0; // data bytes
    std::int64_t F = 0; // frames
    double N = 0;       // samples per cycle

    // Header format bytes 17, 23, 25-28, 35 of `buildwav`.
    void setFormat(const Memory& m);
    void datalength(const Memory& m);
    void rifflength();
    void byterate(const Memory& m);
    void blockalign(const Memory& m);
    void datacalc(const Memory& m);
    // Writes pemtest.wav into `dir`; the first call also writes stop.wav and
    // wavcself0.wav (this build's header and L zero bytes). False when a
    // file could not be written.
    bool writetofile(const std::string& dir);

    // setFormat, datalength, rifflength, byterate, blockalign, datacalc.
    void compute(const Memory& m);

    bool writtenOnce() const { return writtenOnce_; }

  private:
    bool writtenOnce_ = false;
};

int channelsOf(const std::string& mode);
// Bits the build works with: 8, 16 or 24 (anything else, from a hand-edited
// set-up file, is built as 16).
int effectiveBits(int bits);

} // namespace qelvar::panel

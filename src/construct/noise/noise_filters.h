// The noise filters: IEC and SUB noise (one second of the left white noise,
// filtered in series and trimmed to quiet ends), the pink-noise bank, and
// the three high-passes that make the pink, UL and CSA files.
#pragma once

#include "construct/noise/section.h"
#include "formats/wav.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qelvar::noise {

inline constexpr std::size_t noiseFrames = 176400;    // four seconds at 44100
inline constexpr std::size_t fullNoiseBytes = 705644; // header + 176400 frames
inline constexpr std::size_t shortNoiseBytes = 176444;

// The arrays the noise routines share, elements 0..176400 (element 0 is
// never written). Allocated once; the routines allocate nothing.
struct NoiseState {
    NoiseState();
    std::vector<double> randtable; // 0..101
    std::vector<double> whiteL, whiteR, noiseL, noiseR;
    std::vector<double> workL, workR, accL, accR;
    std::vector<std::uint32_t> drawn; // indices of the white file's draws, left and right
    std::int32_t S = 0;               // kept stretch of the last trimmed file
    std::int32_t E = 0;
};

// Coefficients as the filters store them (a0 = 1, the rest 0 unless set).
std::array<Section, 2> iecSections();  // 600 Hz low-pass, 40 Hz high-pass
std::array<Section, 2> subSections();  // 120 Hz low-pass with gain 4, twice
std::array<Section, 7> pinkSections(); // first-order bank, summed
Section pinkHighPass();                // 20 Hz, pink and CSA files
Section ulHighPass();                  // 50 Hz, UL file

// Trimming of a filtered one-second stretch w(1..44100) to quiet ends
// (|v| < 100), D samples of settling dropped and a tail margin M, with
// 200-sample fades. Returns S and E. The end search stops at element 1
// and the fade-out starts no lower than element 1, so a stretch without
// any quiet point cannot read before the buffer.
struct Trim {
    std::int32_t S;
    std::int32_t E;
};
Trim trimQuiet(std::span<double> w, std::int32_t D, std::int32_t M);

// Each routine reads noiseL/noiseR and leaves its file's frames and sizes
// in the image (pinkfilter: only noiseL/noiseR, now twice the pink noise).
// An image shorter than 705644 bytes is left alone.
void iecfilter(NoiseState& st, wav::FileImage& image);
void subfilter(NoiseState& st, wav::FileImage& image);
void pinkfilter(NoiseState& st);
void highpasspink(NoiseState& st, wav::FileImage& image);
void ulfilter(NoiseState& st, wav::FileImage& image);
void csafilter(NoiseState& st, wav::FileImage& image);

} // namespace qelvar::noise

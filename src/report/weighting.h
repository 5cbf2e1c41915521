// The A-weighting curve (IEC 61672-1), applied to power spectra, and the
// audio-band sums of the noise figures.
#pragma once

#include "report/spectrum.h"

#include <cstddef>
#include <optional>

namespace qelvar::report {

// Power gain of the A-weighting at f Hz: 1 at 1 kHz.
double aWeightingPower(double hz);

// The same in dB: 0 at 1 kHz, about -19.1 at 100 Hz.
double aWeightingDb(double hz);

enum class Weighting { None, A };

// Mean-square power of the audio band (20 Hz to 20 kHz), weighted bin by
// bin, leaving out the main lobe around `notch` when given.
double bandPower(const PowerSpectrum& s, Weighting w, std::optional<std::size_t> notch = {});

} // namespace qelvar::report

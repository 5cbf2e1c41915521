// Intermodulation of two-tone takes: SMPTE and CCIF (twin tone).
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qelvar::report {

// SMPTE: a low tone and a high one mixed 4:1 (the page's signal is 60 Hz
// and 6600 Hz). IMD is the rms of the sidebands f2 ± n·f1 for n = 1..3
// (the 2nd- to 4th-order products: what a demodulating meter sees as the
// envelope's f1, 2f1 and 3f1), relative to the high tone's amplitude.
struct SmpteFigures {
    double imdDb = 0;
    double imdPercent = 0;
    double lowDbfs = 0;
    double highDbfs = 0;
    std::vector<std::string> warnings;
};
SmpteFigures analyseSmpte(std::span<const double> x, double rate, double lowHz = 60,
                          double highHz = 6600);

// CCIF: two equal tones f1 < f2 (the page's signal is 13 and 14 kHz for a
// 500 Hz step). As difference-frequency distortion is usually stated, the
// amplitudes of the products are referred to the sum of the two tones'
// amplitudes (the peak of the pair): d2 from f2 - f1, d3 from 2f1 - f2 and
// 2f2 - f1 added.
struct CcifFigures {
    double d2Db = 0;
    double d2Percent = 0;
    double d3Db = 0;
    double d3Percent = 0;
    double toneDbfs = 0; // the weaker of the two
    std::vector<std::string> warnings;
};
CcifFigures analyseCcif(std::span<const double> x, double rate, double f1Hz = 13000,
                        double f2Hz = 14000);

} // namespace qelvar::report

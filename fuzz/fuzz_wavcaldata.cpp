// The calibration file, then a reading that applies every entry it gave.
#include "construct/measure/calibration.h"
#include "construct/measure/measure.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>

using namespace qelvar::construct;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("wavcaldata", data, size);
    MeasureSettings s;
    s.calOn = true;
    s.offsetOn = true;
    s.offsetDb = 1.5;
    loadCalibration(path, s);
    const std::string missing = qelvar::fuzz::scratchDir() + "/wavrec1.wav";
    for (int step = 0; step < kCalEntries; ++step) {
        Reading r = peakread(missing, step, s);
        (void)readingText(r.left);
        (void)readingText(r.right);
    }
    (void)calibrationText(s);
    return 0;
}

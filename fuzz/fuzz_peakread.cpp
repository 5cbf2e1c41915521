// A capture file read by `peakread`, for a measured step with the offset
// and calibration applied.
#include "construct/measure/measure.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>

using namespace qelvar::construct;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("wavrec3.wav", data, size);
    MeasureSettings s;
    s.offsetOn = true;
    s.offsetDb = -2.25;
    s.calOn = true;
    s.calL[3] = 1.5;
    s.calR[3] = -0.75;
    Reading r = peakread(path, 3, s);
    (void)readingText(r.left);
    (void)readingText(r.right);
    return 0;
}

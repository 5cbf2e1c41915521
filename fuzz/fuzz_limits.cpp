// A limits file as a production line writes it by hand, held against a
// report with every figure and a sweep.
#include "report/figures.h"
#include "report/limits.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace qelvar::report;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto limits = parseLimits(text, error);
    if (!limits)
        return 0;
    Report r;
    for (const auto& key : figureKeys())
        r.figures.push_back({key, key, -90.0, "dB", {}});
    for (double hz : sweepFrequencies())
        r.sweep.push_back({hz, -0.1, 0.1, -90, -91, {}});
    (void)applyLimits(*limits, r, error);
    return 0;
}

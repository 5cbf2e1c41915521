#include "report/take_checks.h"

#include <charconv>
#include <cmath>

namespace qelvar::report {

std::size_t clippedSamples(std::span<const double> x) {
    std::size_t n = 0;
    for (double v : x)
        n += std::fabs(v) >= kClipLevel;
    return n;
}

void addClipWarning(std::span<const double> x, std::vector<std::string>& warnings) {
    if (const auto n = clippedSamples(x))
        warnings.push_back("clipped: " + std::to_string(n) + " samples at full scale");
}

void addLevelWarnings(std::span<const double> x, double toneDbfs,
                      std::vector<std::string>& warnings) {
    addClipWarning(x, warnings);
    if (!(toneDbfs >= kQuietDbfs))
        warnings.push_back("too quiet to trust: tone at " + fixedText(toneDbfs, 1) + " dBFS");
}

std::string fixedText(double v, int decimals) {
    if (!std::isfinite(v))
        return v > 0 ? "inf" : (v < 0 ? "-inf" : "nan");
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string("?");
}

} // namespace qelvar::report

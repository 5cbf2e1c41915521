#include "construct/measure/calibration.h"

#include "common/files.h"
#include "formats/textfile.h"

#include <cmath>

namespace qelvar::construct {

namespace {

// The file holds 50 short numbers; anything past this is not read.
constexpr std::size_t kMaxCalFileBytes = 1024 * 1024;

// −0 would be written as "0" anyway; keep the stored value plain 0.
double negated(std::string_view box) {
    return 0.0 - boxValue(box);
}

} // namespace

void setCalRow(MeasureSettings& s, int r, std::string_view leftBox, std::string_view rightBox) {
    if (r < 1 || r > kMeasuredRows)
        return;
    s.calL[static_cast<std::size_t>(r)] = negated(leftBox);
    s.calR[static_cast<std::size_t>(r)] = negated(rightBox);
}

void setCal(MeasureSettings& s, std::span<const std::string> leftBoxes,
            std::span<const std::string> rightBoxes) {
    for (int r = 1; r <= kMeasuredRows; ++r) {
        std::size_t i = static_cast<std::size_t>(r - 1);
        setCalRow(s, r, i < leftBoxes.size() ? std::string_view(leftBoxes[i]) : "",
                  i < rightBoxes.size() ? std::string_view(rightBoxes[i]) : "");
    }
}

std::string calibrationText(const MeasureSettings& s) {
    TextValueWriter w;
    for (std::size_t i = 1; i < kCalEntries; ++i) {
        w.number(std::isfinite(s.calL[i]) ? s.calL[i] : 0.0);
        w.number(std::isfinite(s.calR[i]) ? s.calR[i] : 0.0);
    }
    return w.contents();
}

void loadCalibration(const std::string& path, MeasureSettings& s) {
    auto contents = readWholeFile(path, kMaxCalFileBytes);
    if (!contents)
        return;
    TextValueReader in(*contents);
    for (std::size_t i = 1; i < kCalEntries; ++i) {
        in.readDouble(s.calL[i]);
        in.readDouble(s.calR[i]);
    }
}

bool saveCalibration(const std::string& path, const MeasureSettings& s) {
    return replaceFile(path, calibrationText(s), true);
}

} // namespace qelvar::construct

// SET CAL and the calibration file "wavcaldata".
#pragma once

#include "construct/measure/measure.h"

#include <span>
#include <string>
#include <string_view>

namespace qelvar::construct {

inline constexpr int kMeasuredRows = 20;

// SET CAL for one row r (1..20): the negated values of its LEFT and RIGHT
// boxes become calL[r] and calR[r]; an empty or non-numeric box counts 0.
void setCalRow(MeasureSettings& s, int r, std::string_view leftBox, std::string_view rightBox);

// SET CAL for all rows: leftBoxes[r - 1] and rightBoxes[r - 1] are row r's
// boxes; rows beyond the spans' size count as empty boxes.
void setCal(MeasureSettings& s, std::span<const std::string> leftBoxes,
            std::span<const std::string> rightBoxes);

// The file's text: calL[i] and calR[i] for i = 1..25, one value a line in
// the "write" form, CR LF ended (50 lines).
std::string calibrationText(const MeasureSettings& s);

// Reads the file into calL/calR in the same order. A missing file, a short
// file or a value that is not a finite number leaves those entries as they
// were; nothing else in `s` changes.
void loadCalibration(const std::string& path, MeasureSettings& s);

// Replaces the file atomically; false when it could not be written (the
// old file is then untouched).
bool saveCalibration(const std::string& path, const MeasureSettings& s);

} // namespace qelvar::construct

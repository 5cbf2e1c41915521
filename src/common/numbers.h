// Number reading and the number-to-text forms used in boxes and files.
// Every form here is independent of the desktop's locale: files and boxes
// always use a period as the decimal separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvar {

// The leading decimal number of a text: blanks skipped, an optional sign,
// digits, an optional point and exponent. A text without one gives 0.
double leadingNumber(std::string_view text);

// True when the text starts (after blanks) with something leadingNumber reads.
bool hasLeadingNumber(std::string_view text);

// Nearest whole number, ties to the even one. Saturates at the int64 range;
// NaN gives 0.
std::int64_t roundEven(double x);

// Str form: a leading blank for zero and positive values, no zero before
// the point, up to 15 significant digits: " 0", "-3.01029995663981", " 12.5".
std::string strForm(double x);

// Sequential "write" form of the text value files: like the Str form but
// without the leading blank: ".5", "-.25", "600".
std::string writeForm(double x);

// Plain number-to-text form: 15 significant digits, a zero before the
// point, no leading blank: "600", "0.5", "12.25".
std::string plainForm(double x);

// "##.#" readout form: one decimal, no zero before the point, the point
// always shown: "-3.1", "-20.", "-.5"; a value that rounds to zero is "0.0".
std::string readoutForm(double x);

// Graph label form: up to 15 significant digits in plain decimal, never an
// exponent, no trailing zeros, a zero before the point: "-2.5", "-0.5", "20".
std::string labelForm(double x);

// Single-precision form of the sweep files: up to 7 significant digits,
// a zero before the point, no leading blank: "-3.25", "1000".
std::string floatForm(float x);

} // namespace qelvar

#include "common/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace qelvar {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the number at the start of text (after blanks), 0 when none.
std::size_t scanNumber(std::string_view text, std::size_t& start) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    return end - start;
}

// Shortest text of x with at most `precision` significant digits, in the
// C++ "general" notation with an upper-case exponent marker.
std::string general(double x, int precision) {
    std::array<char, 64> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::general,
                             precision);
    std::string s(buf.data(), res.ptr);
    for (char& c : s)
        if (c == 'e')
            c = 'E';
    return s;
}

// Removes the zero before the point of "0.xxx" / "-0.xxx".
std::string dropLeadingZero(std::string s) {
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return s;
}

// Plain decimal of x at 15 significant digits, never with an exponent.
std::string fixed15(double x) {
    std::array<char, 64> buf{};
    auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::scientific, 14);
    std::string sci(buf.data(), res.ptr);
    bool negative = sci[0] == '-';
    if (negative)
        sci.erase(0, 1);
    std::size_t e = sci.find('e');
    int exponent = std::stoi(sci.substr(e + 1));
    std::string digits;
    for (std::size_t i = 0; i < e; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out;
    if (exponent < 0) {
        out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
        out = digits + std::string(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
              digits.substr(static_cast<std::size_t>(exponent) + 1);
    }
    if (digits == "0")
        return "0";
    return negative ? "-" + out : out;
}

} // namespace

double leadingNumber(std::string_view text) {
    std::size_t start = 0;
    std::size_t len = scanNumber(text, start);
    if (len == 0)
        return 0.0;
    std::string token(text.substr(start, len));
    for (char& c : token)
        if (c == 'd' || c == 'D')
            c = 'e';
    if (token[0] == '+')
        token.erase(0, 1);
    double value = 0.0;
    auto res = std::from_chars(token.data(), token.data() + token.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        bool negative = token[0] == '-';
        bool tiny = token.find_first_of("123456789") != std::string::npos &&
                    token.find("e-") != std::string::npos;
        return tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    }
    return res.ec == std::errc() ? value : 0.0;
}

bool hasLeadingNumber(std::string_view text) {
    std::size_t start = 0;
    return scanNumber(text, start) > 0;
}

std::int64_t roundEven(double x) {
    if (std::isnan(x))
        return 0;
    double r = std::nearbyint(x);
    if (r >= 9.2233720368547758e18)
        return std::numeric_limits<std::int64_t>::max();
    if (r <= -9.2233720368547758e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

std::string writeForm(double x) {
    if (x == 0.0)
        return "0";
    return dropLeadingZero(general(x, 15));
}

std::string strForm(double x) {
    std::string s = writeForm(x);
    return s[0] == '-' ? s : " " + s;
}

std::string plainForm(double x) {
    if (x == 0.0)
        return "0";
    return general(x, 15);
}

std::string readoutForm(double x) {
    double tenths = std::round(x * 10.0);
    if (tenths == 0.0 || std::isnan(tenths))
        return "0.0";
    bool negative = tenths < 0;
    long long t = static_cast<long long>(std::fabs(tenths));
    long long whole = t / 10;
    long long frac = t % 10;
    std::string out = negative ? "-" : "";
    if (whole != 0)
        out += std::to_string(whole);
    out += ".";
    if (frac != 0)
        out += std::to_string(frac);
    return out;
}

std::string labelForm(double x) {
    if (x == 0.0 || !std::isfinite(x))
        return x == 0.0 ? "0" : general(x, 15);
    return fixed15(x);
}

std::string floatForm(float x) {
    if (x == 0.0f)
        return "0";
    return general(static_cast<double>(x), 7);
}

} // namespace qelvar

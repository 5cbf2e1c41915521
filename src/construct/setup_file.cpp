#include "construct/setup_file.h"

#include "common/numbers.h"

#include <cmath>
#include <limits>

namespace qelvar::construct {

namespace {

// Single precision in the "write" form: 7 significant digits, no zero
// before the point (".5", "-.25").
std::string singleWriteForm(float x) {
    std::string s = floatForm(x);
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"')
            out += '"';
        out += ch;
    }
    out += '"';
    return out;
}

bool number(SetupTokens& in, double& out) {
    std::string v;
    if (!in.next(v) || !hasLeadingNumber(v))
        return false;
    double x = leadingNumber(v);
    if (!std::isfinite(x))
        return false;
    out = x;
    return true;
}

// Values are taken as their type holds them: any finite double, any
// 32-bit or 16-bit integer (rounded half to even). A value that is no
// number, or does not fit its type, keeps the default. A build refuses
// what it cannot make a file of.
void readDouble(SetupTokens& in, double& out) {
    double x = 0;
    if (number(in, x))
        out = x;
}

template <typename Int> void readInteger(SetupTokens& in, Int& out) {
    double x = 0;
    if (!number(in, x) || std::fabs(x) > 9.0e18)
        return;
    const std::int64_t r = roundEven(x);
    if (r >= std::numeric_limits<Int>::min() && r <= std::numeric_limits<Int>::max())
        out = static_cast<Int>(r);
}

void readFlag(SetupTokens& in, std::int16_t& out) {
    double x = 0;
    if (!number(in, x))
        return;
    std::int64_t r = roundEven(x);
    if (r == 0 || r == 1)
        out = static_cast<std::int16_t>(r);
}

} // namespace

void SetupTokens::skipSeparator() {
    while (pos_ < s_.size() && s_[pos_] != ',' && s_[pos_] != '\r' && s_[pos_] != '\n')
        ++pos_;
    if (pos_ >= s_.size())
        return;
    if (s_[pos_] == '\r' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n')
        ++pos_;
    ++pos_;
}

bool SetupTokens::next(std::string& value) {
    if (atEnd())
        return false;
    value.clear();
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t'))
        ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '"') {
        // A quoted text runs to the next lone quote, across line breaks; a
        // doubled quote stands for one quote.
        ++pos_;
        while (pos_ < s_.size()) {
            char ch = s_[pos_++];
            if (ch != '"') {
                value += ch;
            } else if (pos_ < s_.size() && s_[pos_] == '"') {
                value += '"';
                ++pos_;
            } else {
                break;
            }
        }
        skipSeparator();
        return true;
    }
    std::size_t start = pos_;
    skipSeparator();
    std::size_t end = pos_;
    while (end > start && (s_[end - 1] == '\n' || s_[end - 1] == '\r' || s_[end - 1] == ','))
        --end;
    value.assign(s_.substr(start, end - start));
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();
    return true;
}

std::string setupText(const StepTable& t, const PageSettings& s) {
    std::string out;
    auto line = [&out](const std::string& v) {
        out += v;
        out += "\r\n";
    };
    for (int i = 1; i <= kLastStep; ++i) {
        line(std::to_string(t.frequency[i]));
        line(writeForm(t.attL[i]));
        line(writeForm(t.attR[i]));
        line(writeForm(t.length[i]));
        line(std::to_string(t.include[i]));
    }
    line(quoted(s.scratchpad));
    line(singleWriteForm(s.offsetDb));
    for (std::int16_t flag : {s.useCal, s.offsetOn, s.fullDuplex, s.loop})
        line(std::to_string(flag));
    return out;
}

void readSetup(std::string_view contents, StepTable& t, PageSettings& s) {
    SetupTokens in(contents);
    for (int i = 1; i <= kLastStep; ++i) {
        readInteger(in, t.frequency[i]);
        readDouble(in, t.attL[i]);
        readDouble(in, t.attR[i]);
        readDouble(in, t.length[i]);
        readInteger(in, t.include[i]);
    }
    std::string text;
    if (in.next(text))
        s.scratchpad = text;
    double offset = 0;
    if (number(in, offset) && std::fabs(offset) <= std::numeric_limits<float>::max())
        s.offsetDb = static_cast<float>(offset);
    readFlag(in, s.useCal);
    readFlag(in, s.offsetOn);
    readFlag(in, s.fullDuplex);
    readFlag(in, s.loop);
}

} // namespace qelvar::construct

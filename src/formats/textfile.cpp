#include "formats/textfile.h"

#include "common/numbers.h"

#include <cmath>
#include <fstream>
#include <limits>

namespace qelvar {

namespace {

// The quoted text whose opening quote is at s[i]; i ends just after the
// closing quote, or where the text stopped without one.
std::string oneLineQuote(std::string_view s, std::size_t& i) {
    const std::size_t n = s.size();
    std::size_t close = s.find('"', i + 1);
    std::size_t lineEnd = s.find_first_of("\r\n", i + 1);
    // A quote left open ends at the line end.
    if (close == std::string_view::npos || (lineEnd != std::string_view::npos && lineEnd < close))
        close = lineEnd == std::string_view::npos ? n : lineEnd;
    std::string value(s.substr(i + 1, close - i - 1));
    i = close < n && s[close] == '"' ? close + 1 : close;
    return value;
}

// Runs to the next lone quote, across line breaks; a doubled quote stands
// for one.
std::string spanningQuote(std::string_view s, std::size_t& i) {
    std::string value;
    ++i;
    while (i < s.size()) {
        const char ch = s[i++];
        if (ch != '"')
            value += ch;
        else if (i < s.size() && s[i] == '"')
            value += s[i++];
        else
            break;
    }
    return value;
}

} // namespace

TextValueReader::TextValueReader(std::string_view s, Quotes quotes) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::string value;
        if (i < n && s[i] == '"') {
            value = quotes == Quotes::OneLine ? oneLineQuote(s, i) : spanningQuote(s, i);
            // Anything between the closing quote and the separator is dropped.
            while (i < n && s[i] != ',' && s[i] != '\r' && s[i] != '\n')
                ++i;
        } else {
            std::size_t start = i;
            while (i < n && s[i] != ',' && s[i] != '\r' && s[i] != '\n')
                ++i;
            value.assign(s.substr(start, i - start));
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.pop_back();
        }
        values_.push_back(std::move(value));
        if (i < n) {
            if (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n')
                i += 2;
            else
                ++i;
        }
    }
}

std::optional<std::string> TextValueReader::take() {
    if (atEnd())
        return std::nullopt;
    return values_[next_++];
}

void TextValueReader::skip() {
    if (!atEnd())
        ++next_;
}

bool TextValueReader::readDouble(double& out) {
    auto v = take();
    if (!v || !hasLeadingNumber(*v))
        return false;
    double x = leadingNumber(*v);
    if (!std::isfinite(x))
        return false;
    out = x;
    return true;
}

bool TextValueReader::readFloat(float& out) {
    double x = 0;
    if (!readDouble(x) || std::fabs(x) > std::numeric_limits<float>::max())
        return false;
    out = static_cast<float>(x);
    return true;
}

bool TextValueReader::readInt16(std::int16_t& out) {
    double x = 0;
    if (!readDouble(x))
        return false;
    std::int64_t r = roundEven(x);
    if (r < std::numeric_limits<std::int16_t>::min() ||
        r > std::numeric_limits<std::int16_t>::max())
        return false;
    out = static_cast<std::int16_t>(r);
    return true;
}

bool TextValueReader::readInt32(std::int32_t& out) {
    double x = 0;
    if (!readDouble(x))
        return false;
    std::int64_t r = roundEven(x);
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(r);
    return true;
}

bool TextValueReader::readText(std::string& out) {
    auto v = take();
    if (!v)
        return false;
    out = *v;
    return true;
}

void TextValueWriter::number(double x) {
    plain(writeForm(x));
}

void TextValueWriter::integer(std::int64_t x) {
    plain(std::to_string(x));
}

void TextValueWriter::plain(std::string_view formatted) {
    out_ += formatted;
    out_ += "\r\n";
}

void TextValueWriter::text(std::string_view s) {
    out_ += '"';
    out_ += s;
    out_ += "\"\r\n";
}

void TextValueWriter::spanningText(std::string_view s) {
    out_ += '"';
    for (char ch : s) {
        if (ch == '"')
            out_ += '"';
        out_ += ch;
    }
    out_ += "\"\r\n";
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data;
    char buf[65536];
    while (data.size() < maxBytes && in.read(buf, sizeof buf), in.gcount() > 0) {
        std::size_t got = static_cast<std::size_t>(in.gcount());
        data.append(buf, std::min(got, maxBytes - data.size()));
    }
    return data;
}

} // namespace qelvar

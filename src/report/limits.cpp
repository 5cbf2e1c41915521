#include "report/limits.h"

#include "report/figures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

namespace qelvar::report {
namespace {

// A bound: "-" for none, else a number in C notation.
bool readBound(const std::string& word, std::optional<double>& out) {
    if (word == "-") {
        out.reset();
        return true;
    }
    double v = 0;
    const char* end = word.data() + word.size();
    const auto r = std::from_chars(word.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool outside(double v, const Limit& l) {
    return (l.lowest && v < *l.lowest) || (l.highest && v > *l.highest);
}

} // namespace

std::optional<Limits> parseLimits(const std::string& text, std::string& error) {
    Limits out;
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;)
            words.push_back(w);
        if (words.empty())
            continue;
        const std::string& key = words[0];
        Limit l{key, {}, {}};
        const bool band = key == kResponseKey && words.size() == 5;
        if ((words.size() != 3 && !band) || !readBound(words[1], l.lowest) ||
            !readBound(words[2], l.highest)) {
            error = "line " + std::to_string(n) +
                    ": want a figure, its lowest and its highest "
                    "value (\"-\" for none)";
            if (key == kResponseKey)
                error += ", and for response_db the band's two frequencies if it has one";
            return std::nullopt;
        }
        std::optional<double> from, to;
        if (band && (!readBound(words[3], from) || !readBound(words[4], to) || !from || !to ||
                     *from <= 0 || *to <= *from)) {
            error = "line " + std::to_string(n) +
                    ": the band wants two frequencies in Hz, the lower first";
            return std::nullopt;
        }
        if (band) {
            l.fromHz = *from;
            l.toHz = *to;
        }
        const auto& keys = figureKeys();
        if (key != kResponseKey && std::find(keys.begin(), keys.end(), key) == keys.end()) {
            error = "line " + std::to_string(n) + ": \"" + key + "\" is no figure of the report";
            return std::nullopt;
        }
        if (l.lowest && l.highest && *l.lowest > *l.highest) {
            error = "line " + std::to_string(n) + ": the lowest value is above the highest";
            return std::nullopt;
        }
        out.limits.push_back(l);
    }
    return out;
}

bool applyLimits(const Limits& limits, Report& report, std::string& error) {
    report.limitsApplied = true;
    report.passed = report.failure.empty();
    if (!report.passed)
        return true; // a run without figures fails whatever the limits
    for (const Limit& l : limits.limits) {
        if (l.key == kResponseKey) {
            const SweepRow* ref = nullptr;
            for (const auto& row : report.sweep)
                if (row.hz == 1000)
                    ref = &row;
            if (!ref) {
                error = "the sweep has no 1 kHz step to hold the response to";
                return false;
            }
            const double refL = ref->levelL, refR = ref->levelR;
            for (auto& row : report.sweep) {
                if (l.toHz > 0 && (row.hz < l.fromHz || row.hz > l.toHz))
                    continue;
                row.failed =
                    row.failed || outside(row.levelL - refL, l) || outside(row.levelR - refR, l);
                report.passed = report.passed && !row.failed;
            }
            continue;
        }
        bool found = false;
        for (auto& f : report.figures) {
            if (f.key != l.key)
                continue;
            found = true;
            f.checked = true;
            f.hasLowest = l.lowest.has_value();
            f.hasHighest = l.highest.has_value();
            f.lowest = l.lowest.value_or(0);
            f.highest = l.highest.value_or(0);
            f.failed = outside(f.value, l);
            report.passed = report.passed && !f.failed;
        }
        if (!found) {
            error = "\"" + l.key + "\" is no figure of the report";
            return false;
        }
    }
    return true;
}

} // namespace qelvar::report

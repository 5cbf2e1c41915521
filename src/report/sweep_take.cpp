#include "report/sweep_take.h"

#include "audio/recorder.h"
#include "common/files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace qelvar::report {
namespace {

std::int64_t pauseFrames(const Sweep& s) {
    return std::llround(kSweepPause * s.plan.rate);
}

std::string number(double v, int decimals) {
    if (!std::isfinite(v))
        return "";
    char b[40];
    const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, decimals);
    return std::string(b, r.ptr);
}

double db(double v) {
    return 20 * std::log10(std::max(v, 1e-15));
}

// v at fractional index pos, between its neighbours.
double at(const std::vector<double>& v, double pos) {
    const auto i = static_cast<std::size_t>(pos);
    if (i + 1 >= v.size())
        return NAN;
    const double t = pos - double(i);
    return (1 - t) * v[i] + t * v[i + 1];
}

void put(std::string& out, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

// 32-bit float stereo: the impulse keeps a gain above 1 and every digit.
std::string floatWav(const std::vector<float>& stereo, int rate) {
    const auto data = static_cast<std::uint32_t>(stereo.size() * 4);
    std::string b = "RIFF";
    put(b, 4 + 26 + 12 + 8 + data, 4);
    b += "WAVEfmt ";
    put(b, 18, 4);
    put(b, 3, 2); // IEEE float
    put(b, 2, 2);
    put(b, static_cast<std::uint32_t>(rate), 4);
    put(b, static_cast<std::uint32_t>(rate * 8), 4);
    put(b, 8, 2);
    put(b, 32, 2);
    put(b, 0, 2);
    b += "fact";
    put(b, 4, 4);
    put(b, static_cast<std::uint32_t>(stereo.size() / 2), 4);
    b += "data";
    put(b, data, 4);
    for (float f : stereo) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        put(b, u, 4);
    }
    return b;
}

} // namespace

Signal sweepSignal(const Sweep& s, int averages) {
    Signal sig;
    const auto play = static_cast<std::int64_t>(s.samples.size()) + pauseFrames(s);
    const std::int64_t total = play * averages;
    sig.samples.assign(static_cast<std::size_t>(2 * total), 0);
    for (int a = 0; a < averages; ++a)
        for (std::size_t i = 0; i < s.samples.size(); ++i) {
            const auto v = static_cast<std::int32_t>(std::lround(s.samples[i] * (kFullScale - 1)));
            const auto k = static_cast<std::size_t>(2 * (a * play + std::int64_t(i)));
            sig.samples[k] = sig.samples[k + 1] = v;
        }
    // The take must hold all of it but the last moments of the last pause.
    sig.segments.push_back(
        {Part::Chirp, 0, 0, 20 * std::log10(s.plan.peak), 0, total - Segment::kSettle});
    return sig;
}

std::array<std::vector<double>, 2> averagedTake(const Sweep& s, int averages,
                                                const std::vector<std::int32_t>& take) {
    const auto play = static_cast<std::int64_t>(s.samples.size()) + pauseFrames(s);
    std::array<std::vector<double>, 2> out{std::vector<double>(std::size_t(play), 0.0),
                                           std::vector<double>(std::size_t(play), 0.0)};
    const auto frames = static_cast<std::int64_t>(take.size() / 2);
    int used = 0;
    for (int a = 0; a < averages; ++a) {
        const std::int64_t first = a * play;
        if (first + static_cast<std::int64_t>(s.samples.size()) > frames)
            break; // cut short: its sweep is not all there
        ++used;
        for (std::int64_t i = 0; i < play && first + i < frames; ++i)
            for (int ch = 0; ch < 2; ++ch)
                out[ch][std::size_t(i)] += take[std::size_t(2 * (first + i) + ch)] / 2147483648.0;
    }
    for (auto& ch : out)
        for (double& v : ch)
            v /= std::max(used, 1);
    return out;
}

std::string refusal(const std::array<SweepResponse, 2>& responses) {
    if (!heard(responses[0]) || !heard(responses[1]))
        return audio::kWhyUnrelated;
    if (!linedUp(responses[0]) || !linedUp(responses[1]))
        return std::string(audio::kWhyUnaligned) + "; play again";
    return "";
}

SweepFigures sweepFigures(const SweepResponse& r, double endHz) {
    SweepFigures f;
    const auto level = [&](double hz) { return magnitudeDb(r, hz); };
    const double ref = level(1000);
    double lo = 1e9, hi = -1e9;
    for (double hz = 20; hz <= std::min(20000.0, endHz); hz *= std::pow(2.0, 1.0 / 48)) {
        lo = std::min(lo, level(hz));
        hi = std::max(hi, level(hz));
    }
    f.flatnessDb = (hi - lo) / 2;
    for (double hz = 1000; hz >= 1; hz /= std::pow(2.0, 1.0 / 96))
        if (level(hz) < ref - 3) {
            f.lowerHz = hz;
            break;
        }
    for (double hz = 1000; hz <= endHz; hz *= std::pow(2.0, 1.0 / 96))
        if (level(hz) < ref - 3) {
            f.upperHz = hz;
            break;
        }
    const auto delay = groupDelay(r);
    f.delayMs1k = 1000 * at(delay, 1000 / r.binHz);
    double harm = 0;
    const auto bin = static_cast<std::size_t>(std::lround(1000 / r.binHz));
    for (const auto& h : r.harmonics)
        if (bin < h.size())
            harm += std::norm(h[bin]);
    f.thd1kDb = 10 * std::log10(std::max(harm, 1e-30));
    return f;
}

bool checkSweepLimits(const Limits& limits, const Sweep& s, const std::array<SweepResponse, 2>& r,
                      SweepLimits& out, std::string& error) {
    out = {};
    for (const Limit& l : limits.limits) {
        if (l.key != kResponseKey) {
            error = "\"" + l.key + "\" is a figure of the sound-card report; a sweep's limits " +
                    "are response_db lines";
            return false;
        }
        SweepLimitLine line{
            l, l.toHz > 0 ? l.fromHz : 20, l.toHz > 0 ? l.toHz : 20000, {}, {}, {}, {}, false};
        line.fromHz = std::max(line.fromHz, s.plan.startHz);
        line.toHz = std::min(line.toHz, s.plan.endHz);
        if (line.toHz <= line.fromHz) {
            error = "the band of a response_db line lies outside the sweep (" +
                    number(s.plan.startHz, 1) + " to " + number(s.plan.endHz, 1) + " Hz)";
            return false;
        }
        for (int ch = 0; ch < 2; ++ch) {
            const double ref = magnitudeDb(r[ch], 1000);
            double lo = 1e300, hi = -1e300;
            // Every 1/48 octave from the band's lower edge, and the upper edge itself.
            for (double hz = line.fromHz;; hz = std::min(hz * std::pow(2.0, 1.0 / 48), line.toHz)) {
                const double v = magnitudeDb(r[ch], hz) - ref;
                if (v < lo) {
                    lo = v;
                    line.lowestHz[ch] = hz;
                }
                if (v > hi) {
                    hi = v;
                    line.highestHz[ch] = hz;
                }
                if (hz >= line.toHz)
                    break;
            }
            line.lowestDb[ch] = lo;
            line.highestDb[ch] = hi;
            line.failed =
                line.failed || (l.lowest && lo < *l.lowest) || (l.highest && hi > *l.highest);
        }
        out.passed = out.passed && !line.failed;
        out.lines.push_back(line);
    }
    return true;
}

bool writeSweepFiles(const std::string& dir, const Sweep& s, int averages, const Conditions& c,
                     const std::array<SweepResponse, 2>& r, std::string& error,
                     const SweepLimits* limits) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // The curves at 1/48 octave from the sweep's start to its end.
    std::string csv = "frequency_hz";
    for (const char* ch : {"left", "right"})
        for (const char* col :
             {"db", "phase_deg", "group_delay_ms", "h2_db", "h3_db", "h4_db", "h5_db", "thd_db"})
            csv += std::string(",") + ch + "_" + col;
    csv += "\r\n";
    std::array<std::vector<double>, 2> phase{unwrappedPhaseDeg(r[0]), unwrappedPhaseDeg(r[1])};
    std::array<std::vector<double>, 2> delay{groupDelay(r[0]), groupDelay(r[1])};
    for (double hz = s.plan.startHz; hz <= s.plan.endHz * 1.0001; hz *= std::pow(2.0, 1.0 / 48)) {
        csv += number(hz, 3);
        for (int ch = 0; ch < 2; ++ch) {
            const double pos = hz / r[ch].binHz;
            csv += "," + number(magnitudeDb(r[ch], hz), 4) + "," + number(at(phase[ch], pos), 3) +
                   "," + number(1000 * at(delay[ch], pos), 4);
            double thd = 0;
            for (int k = 2; k <= 5; ++k) {
                const auto& h = r[ch].harmonics[std::size_t(k - 2)];
                const auto bin = static_cast<std::size_t>(std::lround(pos));
                const bool inside = k * hz <= s.plan.endHz && bin < h.size();
                const double p = inside ? std::norm(h[bin]) : NAN;
                thd += inside ? p : 0;
                csv += "," + (inside ? number(10 * std::log10(std::max(p, 1e-30)), 2) : "");
            }
            csv += "," + (2 * hz <= s.plan.endHz ? number(10 * std::log10(std::max(thd, 1e-30)), 2)
                                                 : std::string());
        }
        csv += "\r\n";
    }
    QJsonObject channels;
    for (int ch = 0; ch < 2; ++ch) {
        const SweepFigures f = sweepFigures(r[ch], s.plan.endHz);
        channels[ch == 0 ? "left" : "right"] = QJsonObject{
            {"flatness_db", std::round(f.flatnessDb * 1e4) / 1e4},
            {"minus_3db_low_hz",
             f.lowerHz > 0 ? QJsonValue(std::round(f.lowerHz * 10) / 10) : QJsonValue()},
            {"minus_3db_high_hz",
             f.upperHz > 0 ? QJsonValue(std::round(f.upperHz * 10) / 10) : QJsonValue()},
            {"level_1k_db", std::round(magnitudeDb(r[ch], 1000) * 1e4) / 1e4},
            {"group_delay_1k_ms", std::round(f.delayMs1k * 1e4) / 1e4},
            {"thd_1k_db", std::round(f.thd1kDb * 100) / 100},
            {"impulse_peak", std::round(r[ch].impulse.empty() ? 0 : r[ch].impulse[0] * 1e6) / 1e6},
            {"impulse_peak_to_noise_db", std::round(r[ch].peakToNoiseDb * 10) / 10}};
    }
    QJsonObject root{
        {"conditions", QJsonObject{{"program", QString::fromStdString(c.program)},
                                   {"date", QString::fromStdString(c.date)},
                                   {"device", QString::fromStdString(c.device)},
                                   {"device_rate_hz", c.deviceRate},
                                   {"latency_frames", static_cast<double>(c.latencyFrames)},
                                   {"takes", c.takes}}},
        {"sweep", QJsonObject{{"start_hz", s.plan.startHz},
                              {"end_hz", s.plan.endHz},
                              {"seconds", std::round(s.seconds * 1e4) / 1e4},
                              {"peak_dbfs", std::round(db(s.plan.peak) * 100) / 100},
                              {"averages", averages}}},
        {"channels", channels}};
    if (limits) {
        const auto rounded = [](double v) { return std::round(v * 1e4) / 1e4; };
        const auto bound = [](const std::optional<double>& b) {
            return b ? QJsonValue(*b) : QJsonValue();
        };
        QJsonArray lines;
        for (const SweepLimitLine& l : limits->lines) {
            QJsonObject line{{"key", QString::fromStdString(l.limit.key)},
                             {"lowest", bound(l.limit.lowest)},
                             {"highest", bound(l.limit.highest)},
                             {"from_hz", l.fromHz},
                             {"to_hz", rounded(l.toHz)},
                             {"failed", l.failed}};
            for (int ch = 0; ch < 2; ++ch)
                line[ch == 0 ? "left" : "right"] =
                    QJsonObject{{"lowest_db", rounded(l.lowestDb[ch])},
                                {"lowest_at_hz", std::round(l.lowestHz[ch] * 10) / 10},
                                {"highest_db", rounded(l.highestDb[ch])},
                                {"highest_at_hz", std::round(l.highestHz[ch] * 10) / 10}};
            lines.append(line);
        }
        root["limits"] = QJsonObject{{"passed", limits->passed}, {"lines", lines}};
    }
    // The impulse's first second: index 0 is the sound's own return.
    const std::size_t n = std::min<std::size_t>(r[0].impulse.size(), std::size_t(s.plan.rate));
    std::vector<float> stereo(2 * n);
    for (std::size_t i = 0; i < n; ++i)
        for (int ch = 0; ch < 2; ++ch)
            stereo[2 * i + std::size_t(ch)] =
                i < r[ch].impulse.size() ? static_cast<float>(r[ch].impulse[i]) : 0.0f;
    const std::string files[3] = {dir + "/sweep.csv", dir + "/sweep.json", dir + "/impulse.wav"};
    const std::string bodies[3] = {
        csv, QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString(),
        floatWav(stereo, static_cast<int>(s.plan.rate))};
    for (int k = 0; k < 3; ++k)
        if (!replaceFile(files[k], bodies[k], true)) {
            error = files[k];
            return false;
        }
    return true;
}

} // namespace qelvar::report

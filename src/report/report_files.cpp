#include "report/report_files.h"

#include "common/files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <filesystem>

namespace qelvar::report {
namespace {

// Figures to a hundredth of a dB at most: more digits would only be noise.
double tidy(double v) {
    return std::isfinite(v) ? std::round(v * 1e4) / 1e4 : 0.0;
}

QJsonArray strings(const std::vector<std::string>& list) {
    QJsonArray a;
    for (const auto& s : list)
        a.append(QString::fromStdString(s));
    return a;
}

QJsonObject conditions(const Conditions& c) {
    return {{"program", QString::fromStdString(c.program)},
            {"date", QString::fromStdString(c.date)},
            {"device", QString::fromStdString(c.device)},
            {"signal_rate_hz", c.signalRate},
            {"device_rate_hz", c.deviceRate},
            {"bits", c.bits},
            {"device_bits", c.deviceBits ? QJsonValue(c.deviceBits) : QJsonValue()},
            {"latency_frames", static_cast<double>(c.latencyFrames)},
            {"latency_ms", tidy(1000.0 * static_cast<double>(c.latencyFrames) / c.signalRate)},
            {"latency_measured", c.latencyMeasured},
            {"polarity", QString::fromStdString(c.polarity)},
            {"channels_swapped", c.channelsSwapped},
            {"signal_seconds", tidy(c.signalSeconds)},
            {"run_seconds", tidy(c.runSeconds)},
            {"takes", c.takes}};
}

QJsonObject figure(const Figure& f) {
    QJsonObject o{{"key", QString::fromStdString(f.key)},
                  {"label", QString::fromStdString(f.label)},
                  {"value", tidy(f.value)},
                  {"unit", QString::fromStdString(f.unit)},
                  {"warnings", strings(f.warnings)}};
    if (f.checked) {
        QJsonObject lim{{"failed", f.failed}};
        lim["lowest"] = f.hasLowest ? QJsonValue(f.lowest) : QJsonValue();
        lim["highest"] = f.hasHighest ? QJsonValue(f.highest) : QJsonValue();
        o["limits"] = lim;
    }
    return o;
}

std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, tidy(v));
    return std::string(buf, r.ptr);
}

} // namespace

std::string jsonText(const Report& r) {
    QJsonArray figures, sweep;
    for (const auto& f : r.figures)
        figures.append(figure(f));
    for (const auto& row : r.sweep) {
        QJsonObject o{{"frequency_hz", row.hz},           {"left_db", tidy(row.levelL)},
                      {"right_db", tidy(row.levelR)},     {"thdn_left_db", tidy(row.thdnL)},
                      {"thdn_right_db", tidy(row.thdnR)}, {"warnings", strings(row.warnings)}};
        if (r.limitsApplied)
            o["failed"] = row.failed;
        sweep.append(o);
    }
    // Set-up warnings (findings) apart from what is only a note.
    QJsonArray warnings, notes;
    for (const auto& n : r.setup)
        (n.finding ? warnings : notes).append(QString::fromStdString(n.text));
    QJsonObject root{{"conditions", conditions(r.conditions)},
                     {"setup_warnings", warnings},
                     {"setup_notes", notes},
                     {"figures", figures},
                     {"sweep", sweep}};
    if (!r.failure.empty())
        root["failure"] = QString::fromStdString(r.failure);
    if (r.limitsApplied)
        root["passed"] = r.passed;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string csvText(const Report& r) {
    std::string out = "frequency_hz,left_db,right_db,thdn_left_db,thdn_right_db\r\n";
    for (const auto& row : r.sweep)
        out += number(row.hz) + ',' + number(row.levelL) + ',' + number(row.levelR) + ',' +
               number(row.thdnL) + ',' + number(row.thdnR) + "\r\n";
    return out;
}

bool writeReport(const Report& r, const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string json = dir + "/report.json", csv = dir + "/report.csv",
                      pdf = dir + "/report.pdf";
    if (!replaceFile(json, jsonText(r), true))
        error = json;
    else if (!replaceFile(csv, csvText(r), true))
        error = csv;
    else if (!writePdf(r, pdf))
        error = pdf;
    else
        return true;
    return false;
}

} // namespace qelvar::report

#include "graph/sweep_curves.h"

#include "formats/textfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace qelvar::graph {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Columns per channel in sweep.csv, after frequency_hz.
constexpr const char* kColumns[] = {"db",    "phase_deg", "group_delay_ms", "h2_db",
                                    "h3_db", "h4_db",     "h5_db",          "thd_db"};
constexpr int kPerChannel = 8;

std::vector<std::string_view> split(std::string_view line, char sep) {
    std::vector<std::string_view> out;
    for (;;) {
        const auto k = line.find(sep);
        out.push_back(line.substr(0, k));
        if (k == std::string_view::npos)
            return out;
        line.remove_prefix(k + 1);
    }
}

// A cell as a number: NaN when empty; false when it is not a number.
bool cell(std::string_view s, double& v) {
    if (s.empty()) {
        v = kNaN;
        return true;
    }
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

std::uint32_t le(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k)
        v = v << 8 | static_cast<unsigned char>(b[at + std::size_t(k)]);
    return v;
}

// The channel's colours: the measurement blue and red as on the graph
// form, each overlay a pair of its own.
constexpr std::uint32_t kLeft[] = {0x0000FF, 0x008000, 0x800080, 0x008B8B, 0x8B4513};
constexpr std::uint32_t kRight[] = {0xFF0000, 0xFF8C00, 0xC71585, 0xB8860B, 0x696969};
constexpr std::uint32_t kHarmonic[] = {0x0000FF, 0xFF0000, 0x008000, 0xFF8C00, 0x000000};

struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    bool empty() const { return lo > hi; }
};

// An axis from `r` with `step` grid spacing, at least `least` wide.
void axis(const Range& r, double step, double least, double& y0, double& y1) {
    if (r.empty()) {
        y0 = -least / 2;
        y1 = least / 2;
        return;
    }
    y0 = std::floor(r.lo / step) * step;
    y1 = std::ceil(r.hi / step) * step;
    if (y1 - y0 < least) {
        const double mid = (y0 + y1) / 2;
        y0 = std::floor((mid - least / 2) / step) * step;
        y1 = y0 + least;
    }
}

std::string channelName(int ch) {
    return ch == 0 ? "left" : "right";
}

std::string label(const std::string& name, int ch) {
    return name.empty() ? channelName(ch) : name + " " + channelName(ch);
}

// The value `v` draws of channel `k` of `c`, at each frequency.
std::vector<double> viewValues(SweepView v, const SweepChannel& k, const SweepCurves& c,
                               const ViewOptions& o) {
    switch (v) {
    case SweepView::Response:
        return smoothedDb(c.hz, k.db, o.smoothing);
    case SweepView::Phase: {
        std::vector<double> p = k.phaseDeg;
        if (o.wrapPhase)
            for (double& d : p)
                d = wrappedDeg(d);
        return p;
    }
    case SweepView::GroupDelay:
        return k.delayMs;
    default:
        return k.thdDb;
    }
}

std::string number(double v, int decimals) {
    if (!std::isfinite(v))
        return {};
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

// The impulse's shown stretch in ms: past the last point within 60 dB of
// its peak, at least 5 ms.
double impulseSpanMs(const SweepCurves& c) {
    double peak = 0;
    for (const auto& ch : c.impulse)
        for (float s : ch)
            peak = std::max(peak, double(std::abs(s)));
    std::size_t last = 0;
    for (const auto& ch : c.impulse)
        for (std::size_t i = ch.size(); i-- > 0;)
            if (std::abs(ch[i]) > peak * 1e-3) {
                last = std::max(last, i);
                break;
            }
    const double ms = 1000.0 * double(last) / std::max(1, c.impulseRate);
    return std::clamp(std::ceil(ms * 1.25 / 5) * 5, 5.0, 1000.0);
}

} // namespace

const char* viewName(SweepView v) {
    switch (v) {
    case SweepView::Response:
        return "Response";
    case SweepView::Phase:
        return "Phase";
    case SweepView::GroupDelay:
        return "Group delay";
    case SweepView::Impulse:
        return "Impulse response";
    case SweepView::Distortion:
        return "Distortion";
    }
    return "";
}

bool parseSweepCsv(const std::string& text, SweepCurves& out, std::string& error) {
    out.hz.clear();
    out.ch = {};
    std::vector<std::string_view> lines = split(text, '\n');
    for (auto& l : lines)
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    std::string header = "frequency_hz";
    for (int ch = 0; ch < 2; ++ch)
        for (const char* col : kColumns)
            header += "," + channelName(ch) + "_" + col;
    if (lines.empty() || lines[0] != header) {
        error = "not a sweep's curves (its first line is not sweep.csv's header)";
        return false;
    }
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const auto cells = split(lines[n], ',');
        std::array<double, 1 + 2 * kPerChannel> v{};
        bool ok = cells.size() == v.size();
        for (std::size_t k = 0; ok && k < v.size(); ++k)
            ok = cell(cells[k], v[k]);
        if (!ok || !(v[0] > 0) || (!out.hz.empty() && v[0] <= out.hz.back())) {
            error = "line " + std::to_string(n + 1) + " is not a row of a sweep's curves";
            return false;
        }
        out.hz.push_back(v[0]);
        for (int ch = 0; ch < 2; ++ch) {
            const double* c = &v[1 + std::size_t(ch) * kPerChannel];
            SweepChannel& k = out.ch[std::size_t(ch)];
            k.db.push_back(c[0]);
            k.phaseDeg.push_back(c[1]);
            k.delayMs.push_back(c[2]);
            for (int h = 0; h < 4; ++h)
                k.harmonicDb[std::size_t(h)].push_back(c[3 + h]);
            k.thdDb.push_back(c[7]);
        }
    }
    if (out.hz.size() < 2) {
        error = "the sweep's curves hold no rows";
        return false;
    }
    return true;
}

bool parseFloatWav(const std::string& b, int& rate, std::array<std::vector<float>, 2>& out) {
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return false;
    bool format = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const std::size_t size = le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (size > b.size() - body)
            return false;
        if (id == "fmt ") {
            if (size < 16 || le(b, body, 2) != 3 || le(b, body + 2, 2) != 2 ||
                le(b, body + 14, 2) != 32)
                return false;
            rate = static_cast<int>(le(b, body + 4, 4));
            format = rate > 0;
        } else if (id == "data" && format) {
            const std::size_t frames = size / 8;
            for (auto& ch : out)
                ch.resize(frames);
            for (std::size_t i = 0; i < frames; ++i)
                for (std::size_t ch = 0; ch < 2; ++ch) {
                    const std::uint32_t u = le(b, body + 8 * i + 4 * ch, 4);
                    std::memcpy(&out[ch][i], &u, 4);
                }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

bool loadSweepCurves(const std::string& dir, SweepCurves& out, std::string& error) {
    constexpr std::size_t kMost = 64 << 20;
    const auto csv = readWholeFile(dir + "/sweep.csv", kMost);
    if (!csv) {
        error = "cannot read " + dir + "/sweep.csv";
        return false;
    }
    SweepCurves c;
    if (!parseSweepCsv(*csv, c, error)) {
        error = dir + "/sweep.csv: " + error;
        return false;
    }
    c.name = std::filesystem::path(dir).filename().string();
    if (c.name.empty())
        c.name = std::filesystem::path(dir).parent_path().filename().string();
    if (const auto wav = readWholeFile(dir + "/impulse.wav", kMost))
        if (!parseFloatWav(*wav, c.impulseRate, c.impulse))
            c.impulseRate = 0;
    out = std::move(c);
    return true;
}

std::vector<double> smoothedDb(const std::vector<double>& hz, const std::vector<double>& db,
                               int fraction) {
    if (fraction <= 0)
        return db;
    const double half = std::pow(2.0, 0.5 / fraction);
    std::vector<double> out(db.size(), kNaN);
    // A window sliding up the (rising) frequencies.
    std::size_t lo = 0, hi = 0;
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < hz.size(); ++i) {
        while (hi < hz.size() && hz[hi] <= hz[i] * half) {
            if (std::isfinite(db[hi])) {
                sum += std::pow(10.0, db[hi] / 10);
                ++count;
            }
            ++hi;
        }
        while (hz[lo] < hz[i] / half) {
            if (std::isfinite(db[lo])) {
                sum -= std::pow(10.0, db[lo] / 10);
                --count;
            }
            ++lo;
        }
        if (count > 0 && std::isfinite(db[i]))
            out[i] = 10 * std::log10(std::max(sum / count, 1e-30));
    }
    return out;
}

double wrappedDeg(double deg) {
    if (!std::isfinite(deg))
        return deg;
    double w = std::fmod(deg + 180, 360);
    if (w < 0)
        w += 360;
    return w - 180;
}

Plot plotView(SweepView v, const std::vector<const SweepCurves*>& curves, const ViewOptions& o,
              const StepPoints* steps) {
    Plot p;
    Range yr;
    if (curves.empty())
        return p;
    const SweepCurves& main = *curves[0];
    if (v == SweepView::Impulse) {
        p.logX = false;
        p.x0 = 0;
        p.x1 = impulseSpanMs(main);
        p.xTitle = "Time (ms)";
        p.yTitle = "Amplitude";
        for (std::size_t n = 0; n < curves.size(); ++n) {
            const SweepCurves& c = *curves[n];
            if (!c.impulseRate)
                continue;
            for (int ch = 0; ch < 2; ++ch) {
                if (!(ch == 0 ? o.left : o.right))
                    continue;
                PlotSeries s{label(c.name, ch),
                             (ch == 0 ? kLeft : kRight)[n % 5],
                             ch == 1 && o.left,
                             false,
                             {}};
                const auto& h = c.impulse[std::size_t(ch)];
                const auto last =
                    std::min<std::size_t>(h.size(), std::size_t(p.x1 / 1000 * c.impulseRate) + 1);
                for (std::size_t i = 0; i < last; ++i) {
                    s.xy.emplace_back(1000.0 * double(i) / c.impulseRate, h[i]);
                    yr.add(h[i]);
                }
                p.series.push_back(std::move(s));
            }
        }
        const double m = std::max({std::abs(yr.lo), std::abs(yr.hi), 1e-6});
        const double step = std::pow(10.0, std::floor(std::log10(m)));
        p.y1 = std::ceil(m * 1.1 / step) * step;
        p.y0 = -p.y1;
        if (!main.impulseRate)
            p.note = "No impulse.wav beside these curves";
        return p;
    }
    p.x0 = std::max(10.0, main.hz.front());
    p.x1 = std::min(20000.0, main.hz.back());
    p.xTitle = "Frequency (Hz)";
    if (v == SweepView::Distortion) {
        // One channel's harmonics: the left unless only the right is shown.
        const int ch = o.left || !o.right ? 0 : 1;
        const SweepChannel& k = main.ch[std::size_t(ch)];
        const char* names[] = {"H2", "H3", "H4", "H5", "THD"};
        for (int h = 0; h < 5; ++h) {
            const auto vals =
                smoothedDb(main.hz, h < 4 ? k.harmonicDb[std::size_t(h)] : k.thdDb, o.smoothing);
            PlotSeries s{
                std::string(names[h]) + " " + channelName(ch), kHarmonic[h], h == 4, false, {}};
            for (std::size_t i = 0; i < main.hz.size(); ++i) {
                s.xy.emplace_back(main.hz[i], vals[i]);
                if (main.hz[i] >= 20)
                    yr.add(vals[i]);
            }
            p.series.push_back(std::move(s));
        }
        p.yTitle = "dB below the fundamental";
        // Below -160 dB is the take's own floor.
        axis(yr, 10, 40, p.y0, p.y1);
        p.y0 = std::max(p.y0, std::min(-160.0, p.y1 - 40));
        return p;
    }
    for (std::size_t n = 0; n < curves.size(); ++n) {
        const SweepCurves& c = *curves[n];
        for (int ch = 0; ch < 2; ++ch) {
            if (!(ch == 0 ? o.left : o.right))
                continue;
            // The right channel dashed, so a left one under it still shows.
            PlotSeries s{
                label(c.name, ch), (ch == 0 ? kLeft : kRight)[n % 5], ch == 1 && o.left, false, {}};
            const auto vals = viewValues(v, c.ch[std::size_t(ch)], c, o);
            for (std::size_t i = 0; i < c.hz.size(); ++i) {
                s.xy.emplace_back(c.hz[i], vals[i]);
                // Group delay below 50 Hz (a card's AC coupling) would set
                // the scale for the rest; it is drawn, off the scale.
                if (c.hz[i] >= (v == SweepView::GroupDelay ? 50 : 20) && c.hz[i] <= p.x1)
                    yr.add(vals[i]);
            }
            p.series.push_back(std::move(s));
        }
    }
    switch (v) {
    case SweepView::Response: {
        p.yTitle = "dB";
        // The page's steps, placed so the two agree at 1 kHz: the page
        // reads levels against its own reference, the sweep the path's gain.
        double at1k = kNaN;
        const int ch0 = o.left ? 0 : 1;
        for (std::size_t i = 1; i < main.hz.size(); ++i)
            if (main.hz[i] >= 1000) {
                const auto vals = smoothedDb(main.hz, main.ch[std::size_t(ch0)].db, o.smoothing);
                const double t =
                    std::log(1000 / main.hz[i - 1]) / std::log(main.hz[i] / main.hz[i - 1]);
                at1k = vals[i - 1] + t * (vals[i] - vals[i - 1]);
                break;
            }
        if (steps && steps->hz.size() >= 2 && std::isfinite(at1k) && (o.left || o.right)) {
            for (int ch = 0; ch < 2; ++ch) {
                if (!(ch == 0 ? o.left : o.right))
                    continue;
                const auto& d = steps->db[std::size_t(ch)];
                // The steps' level at 1 kHz, between the steps either side.
                double step1k = kNaN;
                for (std::size_t i = 1; i < steps->hz.size(); ++i) {
                    const double a = steps->hz[i - 1], b = steps->hz[i];
                    if ((a <= 1000 && b >= 1000) || (a >= 1000 && b <= 1000)) {
                        const double t = a == b ? 0 : std::log(1000 / a) / std::log(b / a);
                        step1k = d[i - 1] + t * (d[i] - d[i - 1]);
                        break;
                    }
                }
                if (!std::isfinite(step1k))
                    continue;
                PlotSeries s{"page steps " + channelName(ch), kLeft[0], false, true, {}};
                s.rgb = ch == 0 ? kLeft[0] : kRight[0];
                for (std::size_t i = 0; i < steps->hz.size(); ++i)
                    s.xy.emplace_back(steps->hz[i], d[i] - step1k + at1k);
                p.series.push_back(std::move(s));
            }
            p.note = "The page's 20 steps (points) placed at the sweep's level at 1 kHz";
        }
        axis(yr, 5, 20, p.y0, p.y1);
        p.y1 += 5;
        p.y0 = std::max(p.y0 - 5, p.y1 - 150);
        break;
    }
    case SweepView::Phase:
        p.yTitle = "Degrees";
        if (o.wrapPhase) {
            p.y0 = -180;
            p.y1 = 180;
        } else {
            axis(yr, 90, 360, p.y0, p.y1);
        }
        break;
    default:
        p.yTitle = "Group delay (ms)";
        axis(yr, 0.5, 2, p.y0, p.y1);
        break;
    }
    return p;
}

std::string viewCsv(SweepView v, const SweepCurves& c, const ViewOptions& o) {
    std::string csv;
    std::vector<int> chans;
    if (o.left)
        chans.push_back(0);
    if (o.right)
        chans.push_back(1);
    if (v == SweepView::Impulse) {
        csv = "time_ms";
        for (int ch : chans)
            csv += "," + channelName(ch);
        csv += "\r\n";
        const std::size_t n = c.impulseRate ? c.impulse[0].size() : 0;
        for (std::size_t i = 0; i < n; ++i) {
            csv += number(1000.0 * double(i) / c.impulseRate, 4);
            for (int ch : chans) {
                char buf[32];
                const auto r = std::to_chars(buf, buf + sizeof buf, c.impulse[std::size_t(ch)][i]);
                csv += "," + std::string(buf, r.ptr);
            }
            csv += "\r\n";
        }
        return csv;
    }
    csv = "frequency_hz";
    const char* unit = v == SweepView::Response     ? "_db"
                       : v == SweepView::Phase      ? "_phase_deg"
                       : v == SweepView::GroupDelay ? "_group_delay_ms"
                                                    : "";
    for (int ch : chans) {
        if (v == SweepView::Distortion) {
            for (const char* h : {"_h2_db", "_h3_db", "_h4_db", "_h5_db", "_thd_db"})
                csv += "," + channelName(ch) + h;
        } else {
            csv += "," + channelName(ch) + unit;
        }
    }
    csv += "\r\n";
    // Each column as drawn; the distortion's five a channel.
    std::vector<std::vector<double>> cols;
    for (int ch : chans) {
        const SweepChannel& k = c.ch[std::size_t(ch)];
        if (v != SweepView::Distortion) {
            cols.push_back(viewValues(v, k, c, o));
            continue;
        }
        for (const auto& h : k.harmonicDb)
            cols.push_back(smoothedDb(c.hz, h, o.smoothing));
        cols.push_back(smoothedDb(c.hz, k.thdDb, o.smoothing));
    }
    const int decimals = v == SweepView::Distortion ? 2 : v == SweepView::Phase ? 3 : 4;
    for (std::size_t i = 0; i < c.hz.size(); ++i) {
        csv += number(c.hz[i], 3);
        for (const auto& col : cols)
            csv += "," + number(col[i], decimals);
        csv += "\r\n";
    }
    return csv;
}

} // namespace qelvar::graph

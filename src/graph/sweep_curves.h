// A sweep measurement's curves as the sweep window shows them: read back
// from the files a sweep writes (sweep.csv at 1/48 octave, impulse.wav),
// so a sweep just measured, one saved and one loaded to lie beside it are
// the same thing. And what each view plots of them, as data: series of
// points on axes, which the window paints and exports.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::graph {

// One channel's curves at the frequencies of SweepCurves::hz; NaN where
// the sweep has no value (a harmonic beyond its end).
struct SweepChannel {
    std::vector<double> db, phaseDeg, delayMs, thdDb;
    std::array<std::vector<double>, 4> harmonicDb; // H2 to H5
};

struct SweepCurves {
    std::string name; // the folder's name: the legend's
    std::vector<double> hz;
    std::array<SweepChannel, 2> ch;
    int impulseRate = 0; // 0: no impulse was read
    std::array<std::vector<float>, 2> impulse;
};

// sweep.csv's text as curves; false with `error` set when it is not one.
bool parseSweepCsv(const std::string& text, SweepCurves& out, std::string& error);
// A stereo 32-bit float WAV file's bytes (as impulse.wav is written).
bool parseFloatWav(const std::string& bytes, int& rate, std::array<std::vector<float>, 2>& out);
// The curves in `dir`: sweep.csv, and impulse.wav when it is there.
bool loadSweepCurves(const std::string& dir, SweepCurves& out, std::string& error);

enum class SweepView { Response, Phase, GroupDelay, Impulse, Distortion };
inline constexpr int kSweepViews = 5;
const char* viewName(SweepView v);

struct ViewOptions {
    int smoothing = 0; // 1/N octave (24, 12, 6, 3); 0: none
    bool wrapPhase = false;
    bool left = true, right = true;
};

// Power-averaged over 1/`fraction` octave around each point.
std::vector<double> smoothedDb(const std::vector<double>& hz, const std::vector<double>& db,
                               int fraction);
// Into -180 .. 180 degrees.
double wrappedDeg(double deg);

// The page's 20 step readings: drawn over the response as points.
struct StepPoints {
    std::vector<double> hz;
    std::array<std::vector<double>, 2> db;
};

struct PlotSeries {
    std::string label;
    std::uint32_t rgb = 0; // 0xRRGGBB
    bool dashed = false;
    bool points = false;                       // markers, not a line
    std::vector<std::pair<double, double>> xy; // a NaN y breaks the line
};

struct Plot {
    bool logX = true;
    double x0 = 10, x1 = 20000, y0 = -40, y1 = 10;
    std::string xTitle, yTitle;
    std::string note; // a line under the plot, e.g. how the points are placed
    std::vector<PlotSeries> series;
};

// What `v` draws of `curves` (the first is the measurement, the rest
// overlays) and, on the response, the page's steps.
Plot plotView(SweepView v, const std::vector<const SweepCurves*>& curves, const ViewOptions& o,
              const StepPoints* steps = nullptr);

// The view's values of `c` as drawn, as CSV with a header line (CR LF).
std::string viewCsv(SweepView v, const SweepCurves& c, const ViewOptions& o);

} // namespace qelvar::graph

#include "graph/graph_model.h"

#include "common/files.h"
#include "common/numbers.h"

#include <cmath>

namespace qelvar::graph {

namespace {

// 2606 graph units a natural-log unit: one decade is 6000 units.
constexpr double kDecadeScale = 2606.0;

float decadeX(double ratio, int base) {
    return static_cast<float>(std::floor(std::log(ratio) * kDecadeScale) + base);
}

float clampY(float y) {
    if (y > 400)
        y = 400;
    if (y < 0)
        y = 0;
    return y;
}

// Tenths of a dB below 0 dB; 0 dB and above plot as 0 dB.
float depthOf(float level) {
    return level < 0 ? std::fabs(level) * 10.0f : 0.0f;
}

} // namespace

bool frequencyX(float f, float& x) {
    // Tests in this order, a later match overwriting an earlier one.
    bool placed = false;
    if (f > 10 && f < 101)
        x = decadeX(f / 10.0, 1), placed = true;
    if (f > 100 && f < 1001)
        x = decadeX(f / 100.0, 6000), placed = true;
    if (f > 1000 && f < 10001)
        x = decadeX(f / 1000.0, 12000), placed = true;
    if (f > 10000 && f < 20001)
        x = decadeX(f / 10000.0, 18000), placed = true;
    return placed;
}

void GraphModel::line(float x1, float y1, float x2, float y2, std::uint32_t rgb) {
    target_->push_back({x1, y1, x2, y2, penWidth, rgb});
}

void GraphModel::gridLines(int heavyEvery) {
    for (int i = 1; i <= 10; ++i) {
        penWidth = i == 1 ? 2 : 1;
        float x = decadeX(i, 1);
        line(x, 0, x, 400);
    }
    for (int base : {6000, 12000}) {
        for (int i = 1; i <= 10; ++i) {
            float x = decadeX(i, base);
            line(x, 0, x, 400);
        }
    }
    for (int i = 1; i <= 2; ++i) {
        penWidth = i == 2 ? 2 : 1;
        float x = decadeX(i, 18000);
        line(x, 0, x, 400);
    }
    for (int j = 0; j <= 40; ++j) {
        penWidth = j % heavyEvery == 0 ? 2 : 1;
        line(10, 10.0f * j, 19800, 10.0f * j);
    }
    penWidth = 1;
}

void GraphModel::scaleme() {
    gridLines(5);
    for (int i = 0; i <= 8; ++i) {
        auto& l = label1[static_cast<std::size_t>(i)];
        l.caption = labelForm(refDb() - (rangeDb() / 8.0) * i);
        l.left = -1000;
        l.top = 50.0f * i - 5;
    }
    for (int i = 9; i <= 10; ++i)
        label1[static_cast<std::size_t>(i)] = LabelState{"", -1000, 50.0f * i - 5};
    label8 = {"10", 0, 405};
    label2 = {"100", 5800, 405};
    label6 = {"1000", 11800, 405};
    label7 = {"10000", 17800, 405};
}

void GraphModel::placeSteps() {
    const bool thdn = showThdN;
    for (std::size_t i = 1; i <= kSteps; ++i) {
        depthL[i] = depthOf(thdn ? thdnL[i] : levelL[i]);
        depthR[i] = depthOf(thdn ? thdnR[i] : levelR[i]);
        frequencyX(freq[i], xpos[i]);
    }
}

float GraphModel::stepY(float depth) const {
    const double s = 40.0 / rangeDb();
    const double o = s * (refDb() * 10.0);
    return clampY(static_cast<float>(std::floor(depth * s) + o));
}

void GraphModel::segmentEnds(int i) {
    const auto a = static_cast<std::size_t>(i - 1), b = static_cast<std::size_t>(i);
    yL1 = stepY(depthL[a]);
    yR1 = stepY(depthR[a]);
    yL2 = stepY(depthL[b]);
    yR2 = stepY(depthR[b]);
}

// About 5 pixels each way on a window of the default size.
void GraphModel::diamond(float x, float y, std::uint32_t rgb) {
    const float dx = 140, dy = 6;
    line(x - dx, y, x, y - dy, rgb);
    line(x, y - dy, x + dx, y, rgb);
    line(x + dx, y, x, y + dy, rgb);
    line(x, y + dy, x - dx, y, rgb);
}

void GraphModel::reloadData(const std::array<bool, kSteps + 1>& suspectSteps) {
    readGraphData(folder + "/wavgraphdata");
    suspect = suspectSteps;
    clearSurface();
    scaleme();
    graphdata();
}

void GraphModel::curves(std::uint32_t rgbL, std::uint32_t rgbR) {
    placeSteps();
    for (int i = 2; i <= kSteps; ++i) {
        const auto b = static_cast<std::size_t>(i), a = b - 1;
        penWidth = prefs.lwidth;
        segmentEnds(i);
        // THD+N joins only steps that both have a take to read it from.
        const bool drawn = rowflag[b] == 1 && (!showThdN || (thdnRead[a] && thdnRead[b]));
        if (drawn && prefs.chanL == 1)
            line(xpos[b], yL2, xpos[a], yL1, rgbL);
        if (drawn && prefs.chanR == 1)
            line(xpos[b], yR2, xpos[a], yR1, rgbR);
    }
    penWidth = 1;
    for (std::size_t i = 1; i <= kSteps; ++i) {
        if (!suspect[i] || rowflag[i] != 1 || showThdN || xpos[i] <= 0)
            continue;
        if (prefs.chanL == 1)
            diamond(xpos[i], stepY(depthL[i]), rgbL);
        if (prefs.chanR == 1)
            diamond(xpos[i], stepY(depthR[i]), rgbR);
    }
}

void GraphModel::graphdata() {
    const bool redBlue = prefs.colorsel == 2;
    curves(redBlue ? kBlue : kBlack, redBlue ? kRed : kBlack);
    if (redBlue)
        penWidth = 1;
}

void GraphModel::loadForm() {
    prefs = GraphPrefs{};
    dialogFile = folder + "/*.kzq";
    prefs.load(folder + "/wavgraphsetup");
    readGraphData(folder + "/wavgraphdata");
    frame = GraphFrame{};
    scaleme();
    graphdata();
}

void GraphModel::choose(const OptionItem& item) {
    clearSurface();
    apply(prefs, item);
    scaleme();
    graphdata();
}

void GraphModel::clearLevels() {
    clearSurface();
    for (std::size_t i = 1; i <= kSteps; ++i)
        levelL[i] = levelR[i] = 0;
    scaleme();
}

bool GraphModel::exitSave() const {
    return prefs.save(folder + "/wavgraphsetup");
}

GraphModel::Printout GraphModel::pemprint() {
    Printout out;
    target_ = &out.lines;
    gridLines(10);
    penWidth = 1;
    for (int i = 0; i <= 10; ++i)
        out.texts.push_back({labelForm(refDb() - (rangeDb() / 10.0) * i), -1000, 40.0f * i - 5});
    out.texts.push_back({title, 5800, -20});
    out.texts.push_back({"10", 0, 405});
    out.texts.push_back({"100", 5800, 405});
    out.texts.push_back({"1000", 11800, 405});
    out.texts.push_back({"10000", 17800, 405});
    out.texts.push_back({"Hertz", 7800, 415});
    curves(kBlack, kBlack); // paper is black and white
    target_ = &surface;
    return out;
}

} // namespace qelvar::graph

// The graph form's data: one measured sweep of up to 20 steps, the
// preferences, and what is drawn. Drawing is kept as data: lines and texts
// in graph units (x -1500 .. 20500 left to right, y -20 .. 440 top to
// bottom; the plot is x 1 .. 19806, y 0 .. 400), which the window paints on
// its retained image and printing paints on the page.
#pragma once

#include "common/files.h"
#include "graph/graph_prefs.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::graph {

inline constexpr std::uint32_t kBlack = 0x000000; // colours as 0xRRGGBB
inline constexpr std::uint32_t kBlue = 0x0000FF;
inline constexpr std::uint32_t kRed = 0xFF0000;

struct GraphLine {
    float x1, y1, x2, y2;
    int width; // pixels on screen
    std::uint32_t rgb;
    bool operator==(const GraphLine&) const = default;
};

struct GraphText {
    std::string text;
    float left, top;
    bool operator==(const GraphText&) const = default;
};

// The user coordinate system of the drawing surface.
struct GraphFrame {
    float left = -1500, top = -20, right = 20500, bottom = 440;
};

// A label control: caption and top-left corner in graph units.
struct LabelState {
    std::string caption;
    float left = 0, top = 0;
};

class GraphModel {
  public:
    static constexpr int kSteps = 20;
    static constexpr const char* kTitle = "Frequency Response Graph Using PC Soundcard";

    // Entries 1..20; entry 0 holds nothing.
    std::array<float, kSteps + 1> levelL{}, levelR{}, freq{};
    std::array<std::int16_t, kSteps + 1> rowflag{};
    // Steps whose reading the page marked as suspect (its notes say why):
    // drawn with a diamond on each curve.
    std::array<bool, kSteps + 1> suspect{};
    std::array<float, kSteps + 1> depthL{}, depthR{}, xpos{};
    float yL1 = 0, yR1 = 0, yL2 = 0, yR2 = 0;

    // THD+N of each step's take (dB), when showThdN plots it instead of
    // the levels on a fixed scale (0 dB down to -120 dB); the preferences'
    // reference and range are left as they are.
    std::array<float, kSteps + 1> thdnL{}, thdnR{};
    std::array<bool, kSteps + 1> thdnRead{};
    bool showThdN = false;
    // Reads thdnL/thdnR from the page's takes (wavrecN.wav in the folder)
    // at each step's frequency; a step without a take is left unread.
    void readThdN();
    // Switches the plot between levels and THD+N and draws it afresh.
    void plotThdN(bool on);
    float refDb() const { return showThdN ? 0.0f : static_cast<float>(prefs.refdb); }
    float rangeDb() const { return showThdN ? 120.0f : static_cast<float>(prefs.rangedb); }

    // The data folder: preferences, the graph data file, sweep files.
    std::string folder = dataDir();
    GraphPrefs prefs;
    GraphFrame frame;
    std::string title = kTitle; // the text of Text1

    // Label1(0..10) and the fixed captions.
    std::array<LabelState, 11> label1{};
    LabelState label2{"100", 5800, 405}, label6{"1000", 11800, 405}, label7{"10000", 17800, 405},
        label8{"10", 0, 405};
    LabelState label3{"-dB", -1280, 170}, label4{"Hertz", 8680, 415};

    // The retained image: everything drawn since the last clear.
    std::vector<GraphLine> surface;
    int penWidth = 1;

    // The file dialog's file name: the pattern at first, then the file
    // chosen last.
    std::string dialogFile;

    // The load sequence: preferences, the graph data file, the grid and
    // the curves. Missing files leave the defaults and an empty dataset.
    void loadForm();
    void readGraphData(const std::string& path);
    // VIEW GRAPH again while the form is open: the page's new graph data
    // and suspect steps, drawn afresh with the preferences as they are.
    void reloadData(const std::array<bool, kSteps + 1>& suspectSteps);

    void scaleme();
    void graphdata();
    void clearSurface() { surface.clear(); }

    // An Options item: a fresh surface drawn with the new preference.
    void choose(const OptionItem& item);
    // Clear: levels to 0, flags and frequencies kept, the grid alone.
    void clearLevels();
    // File Exit's save; false when the file could not be written.
    bool exitSave() const;

    // The sweep data files: 60 values, L, R and frequency of each step.
    void LoadFile1(const std::string& fName);
    bool SaveFile1(const std::string& fName) const;
    std::string sweepFileText() const;
    // The steps drawn (included, on the axis), as CSV with a header line;
    // a channel that is not shown has empty cells.
    std::string csvText() const;

    // The printed plot: grid, labels, title and the current dataset in
    // black, in graph units. Recomputes the derived arrays as graphdata.
    struct Printout {
        std::vector<GraphLine> lines;
        std::vector<GraphText> texts;
    };
    Printout pemprint();

  private:
    void line(float x1, float y1, float x2, float y2, std::uint32_t rgb = kBlack);
    void gridLines(int heavyEvery);
    void placeSteps();
    void segmentEnds(int i);
    float stepY(float depth) const;
    void diamond(float x, float y, std::uint32_t rgb);
    // The dataset's curves, for the screen and the printout alike: from each
    // included step back to the one before, left and right in their colours.
    void curves(std::uint32_t rgbL, std::uint32_t rgbR);
    std::vector<GraphLine>* target_ = &surface;
};

// x position of a frequency, by decade; nullopt-like: returns false when
// the frequency is not placed (10 Hz or below, 20001 Hz or above).
bool frequencyX(float f, float& x);

// The file dialog's error message: "Error 2 selecting file." and, on a
// line of its own, the description.
std::string dialogErrorText(int number, const std::string& description);

} // namespace qelvar::graph

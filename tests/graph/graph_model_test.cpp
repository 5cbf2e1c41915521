// The plot's arithmetic, the preference file and sweep files, worked by hand.
#include "audio/capture_file.h"
#include "graph/graph_model.h"
#include "graph/graph_prefs.h"
#include "graph_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

using namespace qelvar;
using namespace qelvar::graph;
using namespace qelvar::graph::test;

namespace {

constexpr std::size_t kGridLines = 73; // 32 vertical and 41 horizontal come first

// The graph data file as the page writes it (left, right, frequency, flag a
// step) and the preferences, both as words.
GraphModel loaded(const char* steps, const char* prefs = nullptr) {
    writeText(dataPath("wavgraphdata"), crlf(steps));
    if (prefs)
        writeText(dataPath("wavgraphsetup"), crlf(prefs));
    GraphModel m;
    m.loadForm();
    return m;
}

std::vector<GraphLine> curves(const GraphModel& m, std::size_t from = kGridLines) {
    return {m.surface.begin() + static_cast<std::ptrdiff_t>(from), m.surface.end()};
}
std::vector<float> ys(const std::vector<GraphLine>& c) { // y1, y2 of each segment
    std::vector<float> v;
    for (const GraphLine& l : c)
        v.insert(v.end(), {l.y1, l.y2});
    return v;
}

void expectLabels(const GraphModel& m, std::vector<const char*> want) {
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(m.label1[i].caption, want[i]) << i;
}

std::set<std::string> checkedItems(const GraphPrefs& p) {
    std::set<std::string> out;
    for (const OptionItem& item : kOptionItems)
        if (isChecked(p, item))
            out.insert(item.name);
    return out;
}

const char* kMinus10 = "-10 -10 100 1  -10 -10 1000 1  -10 -10 10000 1";
const char* kRef20 = "2 2 40 20 1 1";

} // namespace

TEST(GraphLevels, ReferenceAndRange) {
    TempHome home;
    GraphModel m = loaded(kMinus10);
    EXPECT_EQ(m.label1[2].caption, "-10");
    EXPECT_EQ(m.label1[2].top, 95);
    auto c = curves(m); // steps 2 and 3, each left (blue) then right (red)
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], (GraphLine{12000, 100, 6001, 100, 2, kBlue}));
    EXPECT_EQ(c[1], (GraphLine{12000, 100, 6001, 100, 2, kRed}));
    EXPECT_EQ(c[3], (GraphLine{18000, 100, 12000, 100, 2, kRed}));
    GraphModel r20 = loaded(kMinus10, kRef20);
    expectLabels(r20, {"20", "15", "10", "5", "0", "-5", "-10", "-15", "-20", ""});
    EXPECT_EQ(ys(curves(r20)), std::vector<float>(8, 300));
    // +3 dB plots as 0 dB, 20 dB under the top line; -3 dB at 230.
    c = curves(loaded("3 -3 100 1  3 0 200 1", kRef20));
    EXPECT_EQ(ys(c), (std::vector<float>{200, 200, 200, 230}));
    // Over 120 dB -0.1 dB floors to 0, -0.4 to 1; -60 is at 200, -130 on the bottom.
    GraphModel r120 = loaded("-.1 -.4 100 1  -60 -130 1000 1", "2 2 120 0 1 1");
    expectLabels(r120, {"0", "-15", "-30", "-45", "-60", "-75", "-90", "-105", "-120"});
    EXPECT_EQ(ys(curves(r120)), (std::vector<float>{200, 0, 400, 1}));
}

// A level that falls exactly halfway between two plot rows is drawn on the
// row nearer 0 dB, like any other fraction: the depth is cut, not rounded.
// Over 8 dB a row is 0.02 dB (-0.05 is 2.5 rows, -0.25 is 12.5, -0.75 is
// 37.5); over 80 dB a row is 0.2 dB and 20 dB at the top puts 0 dB at 100.
TEST(GraphLevels, HalfwayBetweenRowsTheRowNearerZero) {
    TempHome home;
    auto c = curves(loaded("-.05 -.25 100 1  -.75 -.3 1000 1", "2 2 8 0 1 1"));
    EXPECT_EQ(ys(c), (std::vector<float>{37, 2, 15, 12}));
    c = curves(loaded("-.5 -1.5 100 1  -2.5 -3.5 1000 1", "2 2 80 20 1 1"));
    EXPECT_EQ(ys(c), (std::vector<float>{112, 102, 117, 107}));
}

TEST(GraphFrequency, DecadePositions) {
    // Hertz and x; -1 where a frequency is not on the axis.
    const std::pair<float, float> positions[] = {{100, 6001},    {100.5f, 6012}, {1000, 12000},
                                                 {10000, 18000}, {20000, 19806}, {50, 4195},
                                                 {10, -1},       {0, -1},        {20001, -1}};
    for (auto [f, want] : positions) {
        float x = -1;
        EXPECT_EQ(frequencyX(f, x), want >= 0) << f;
        EXPECT_EQ(x, want) << f;
    }
    TempHome home;
    auto c = curves(loaded("-10 -10 10 1  -10 -10 100 1"));
    ASSERT_EQ(c.size(), 2u); // 10 Hz is not placed: its side starts at x = 0
    EXPECT_EQ(c[0].x2, 0);
    EXPECT_EQ(c[0].x1, 6001);
}

TEST(GraphSegments, FlagsColoursAndChannels) {
    TempHome home;
    auto c = curves(loaded("-1 -2 100 1  -3 -4 1000 0  -5 -6 10000 1  -7 -8 20000 2"));
    ASSERT_EQ(c.size(), 2u); // only the segment into the flag-0 row is gone
    EXPECT_EQ(c[0], (GraphLine{18000, 50, 12000, 30, 2, kBlue}));
    EXPECT_EQ(c[1], (GraphLine{18000, 60, 12000, 40, 2, kRed}));
    const char* rows = "-1 -2 100 1  -3 -4 1000 1";
    c = curves(loaded(rows, "1 1 40 0 1 1"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0], (GraphLine{12000, 30, 6001, 10, 1, kBlack}));
    EXPECT_EQ(c[1], (GraphLine{12000, 40, 6001, 20, 1, kBlack}));
    c = curves(loaded(rows, "2 2 40 0 1 0"));
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].rgb, kBlue);
}

// VIEW GRAPH again: the page's new data drawn afresh, and a step the page
// marked suspect drawn with a diamond (four lines) on each curve, around the
// step's own point; an excluded step gets none.
TEST(GraphSegments, ReloadedDataAndSuspectSteps) {
    TempHome home;
    GraphModel m = loaded("-1 -2 100 1  -3 -4 1000 1");
    writeText(dataPath("wavgraphdata"), crlf("-1 -2 100 1  -3 -4 1000 1  -5 -6 10000 0"));
    std::array<bool, GraphModel::kSteps + 1> suspect{};
    suspect[2] = suspect[3] = true;
    m.reloadData(suspect);
    const auto c = curves(m);
    ASSERT_EQ(c.size(), 2u + 8u); // step 2's segment, then its diamonds
    EXPECT_EQ(c[0], (GraphLine{12000, 30, 6001, 10, 2, kBlue}));
    for (std::size_t i = 2; i < 10; ++i) {
        const bool left = i < 6;
        EXPECT_EQ(c[i].rgb, left ? kBlue : kRed) << i;
        const float y = left ? 30 : 40; // -3 and -4 dB
        EXPECT_LE(std::fabs(c[i].y1 - y), 6) << i;
        EXPECT_LE(std::fabs(c[i].x1 - 12000), 140) << i;
    }
    EXPECT_EQ(c[2], (GraphLine{12000 - 140, 30, 12000, 24, 1, kBlue}));
}

TEST(GraphGrid, LinesAndPrintedLabels) {
    TempHome home;
    GraphModel m = loaded("");
    ASSERT_EQ(m.surface.size(), kGridLines);
    const float firstDecade[] = {1, 1807, 2863, 3613, 4195, 4670, 5072, 5420, 5726, 6001};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(m.surface[i],
                  (GraphLine{firstDecade[i], 0, firstDecade[i], 400, i == 0 ? 2 : 1, kBlack}));
        EXPECT_EQ(m.surface[20 + i].x1, firstDecade[i] - 1 + 12000);
    }
    EXPECT_EQ(m.surface[31], (GraphLine{19806, 0, 19806, 400, 2, kBlack}));
    for (std::size_t j = 0; j <= 40; ++j)
        EXPECT_EQ(m.surface[32 + j],
                  (GraphLine{10, 10.0f * j, 19800, 10.0f * j, j % 5 == 0 ? 2 : 1, kBlack}));
    GraphModel r4 = loaded(kMinus10, "2 2 4 0 1 0");
    auto p = r4.pemprint();
    const char* want[] = {"0",    "-0.4", "-0.8", "-1.2", "-1.6", "-2",
                          "-2.4", "-2.8", "-3.2", "-3.6", "-4"};
    for (std::size_t i = 0; i <= 10; ++i) {
        EXPECT_EQ(p.texts[i].text, want[i]);
        EXPECT_EQ(p.texts[i].top, 40.0f * i - 5);
    }
    ASSERT_EQ(p.lines.size(), kGridLines + 2); // "L only": two left segments
    for (std::size_t j = 0; j <= 40; ++j)
        EXPECT_EQ(p.lines[32 + j].width, j % 10 == 0 ? 2 : 1);
    // -10 dB is below a 4 dB span: the bottom line, black on paper.
    EXPECT_EQ(p.lines[kGridLines], (GraphLine{12000, 400, 6001, 400, 2, kBlack}));
}

TEST(GraphPrefs, FileValuesAndCheckMarks) {
    using Set = std::set<std::string>;
    TempHome home;
    GraphModel m;
    m.loadForm();
    EXPECT_EQ(checkedItems(m.prefs), (Set{"Wide", "Redblue", "range40", "ref0", "LandR"}));
    auto fromFile = [](const char* words) { return loaded("", words).prefs; };
    GraphPrefs p = fromFile("1 1 120 -40 0 1");
    EXPECT_EQ(checkedItems(p), (Set{"Normal", "Mono", "range120", "refneg40", "Ronly"}));
    EXPECT_EQ(p.refdb, -40);
    p = fromFile("1 1 8"); // the rest at defaults
    EXPECT_EQ(checkedItems(p), (Set{"Normal", "Mono", "range8", "ref0", "LandR"}));
    p = fromFile("3 0 50 10 0 0");
    EXPECT_EQ(p.rangedb, 50);
    EXPECT_TRUE(checkedItems(p).empty());
}

TEST(SweepFile, RoundTripOverlayAndDamagedFiles) {
    TempHome home;
    const char* rows = "-3.25 -.5 100 1  -3.3 -12.125 1000 1  -20 -19.75 10000 1";
    GraphModel a = loaded(rows);
    ASSERT_TRUE(a.SaveFile1(dataPath("a.kzq")));
    EXPECT_EQ(readText(dataPath("a.kzq")).substr(0, 24), "-3.25\r\n-0.5\r\n100\r\n-3.3\r\n");
    GraphModel b = loaded(rows);
    b.clearLevels();
    b.LoadFile1(dataPath("a.kzq"));
    EXPECT_EQ(curves(b, 2 * kGridLines), curves(a));
    // Without Clear a load draws over the old plot; an Options item then
    // redraws the loaded sweep alone (flags stay 1,1,1,0...).
    std::string other;
    for (int i = 1; i <= 20; ++i)
        other += "-30 -30 " + std::to_string(100 * i) + " ";
    writeText(dataPath("b.kzq"), crlf(other));
    a.LoadFile1(dataPath("b.kzq"));
    ASSERT_EQ(a.surface.size(), 2 * (kGridLines + 4));
    const GraphLine fresh = a.surface.back();
    EXPECT_EQ(fresh.y1, 300);
    EXPECT_EQ(fresh.x1, 8862); // 300 Hz: floor(ln 3 x 2606) + 6000
    a.choose(*findOption("Wide"));
    ASSERT_EQ(a.surface.size(), kGridLines + 4);
    EXPECT_EQ(a.surface.back(), fresh);
    // A short file, then garbage, over the old levels (fuzz/ feeds it the rest).
    GraphModel m = loaded("-3.25 -.5 100 1  -3.3 -12 1000 1");
    writeText(dataPath("short"), "-7\r\n");
    m.LoadFile1(dataPath("short"));
    EXPECT_EQ(m.levelL[1], -7);
    EXPECT_EQ(m.levelR[1], -0.5f);
    writeText(dataPath("garbage"), "abc\r\n\r\n\r\n1e999\r\n-1e30\r\n");
    m.LoadFile1(dataPath("garbage"));
    EXPECT_EQ(m.levelL[1], -7);
    EXPECT_EQ(m.levelL[2], -3.3f);
    EXPECT_EQ(m.levelR[2], -1e30f);
    for (const GraphLine& l : m.surface) // on the plot, however far off the level
        EXPECT_TRUE(l.y1 >= 0 && l.y1 <= 400 && l.y2 >= 0 && l.y2 <= 400 && l.x1 >= 0);
}

namespace {

// A take as the page saves it: 16-bit stereo 44100 Hz, `hz` at half scale
// with its third harmonic `thirdDb` under it on the left, clean on the right.
void writeTake(const std::string& path, double hz, double thirdDb) {
    std::vector<std::int16_t> s;
    const double k = 2 * 3.141592653589793 * hz / 44100, h = std::pow(10.0, thirdDb / 20);
    for (int n = 0; n < 22050; ++n) {
        s.push_back(static_cast<std::int16_t>(
            std::lround(16384 * (std::sin(k * n) + h * std::sin(3 * k * n)))));
        s.push_back(static_cast<std::int16_t>(std::lround(16384 * std::sin(k * n))));
    }
    const auto head = audio::captureHeader(static_cast<std::uint32_t>(s.size() * 2));
    std::string bytes(head.begin(), head.end());
    bytes.append(reinterpret_cast<const char*>(s.data()), s.size() * 2);
    writeText(path, bytes);
}

} // namespace

TEST(GraphThdN, ReadFromTheTakesOnAFixedScaleWithUnreadStepsLeftOut) {
    TempHome home;
    GraphModel m = loaded("-1 -1 1000 1  -1 -1 2000 1  -1 -1 3000 1  -1 -1 4000 1", "1 1 4 20 1 1");
    writeTake(dataPath("wavrec1.wav"), 1000, -40);
    writeTake(dataPath("wavrec2.wav"), 2000, -60);
    writeTake(dataPath("wavrec4.wav"), 4000, -40); // step 3 has no take
    m.plotThdN(true);
    EXPECT_NEAR(m.thdnL[1], -40, 0.1);
    EXPECT_NEAR(m.thdnL[2], -60, 0.1);
    EXPECT_LT(m.thdnR[1], -90); // 16-bit rounding alone
    EXPECT_FALSE(m.thdnRead[3]);
    EXPECT_EQ(m.label1[1].caption, "-15"); // 0 to -120 dB, whatever the preferences say
    // One segment a channel, 1000 to 2000 Hz: -40 dB is 400 * 40 / 120 down.
    const auto lines = curves(m);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(lines[0].y2, 400 * 40 / 120.0, 1);
    EXPECT_NEAR(lines[0].y1, 400 * 60 / 120.0, 1);
    m.plotThdN(false);
    EXPECT_EQ(curves(m).size(), 6u);
    EXPECT_EQ(m.prefs.rangedb, 4);
}

// The plot's arithmetic: where the grid, the labels and the curves fall.
// Expected values are worked by hand from the rules of the graph form.
#include "graph/graph_model.h"
#include "graph_test_util.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qelvar;
using namespace qelvar::graph;
using test::TempHome;
using test::writeText;

namespace {

struct Row {
    const char *l, *r, *f, *flag;
};

// The graph data file as the construction page writes it: four lines a
// step, unlisted steps all zero.
std::string graphData(const std::vector<Row>& rows) {
    std::string s;
    for (std::size_t i = 0; i < 20; ++i) {
        Row r = i < rows.size() ? rows[i] : Row{"0", "0", "0", "0"};
        for (const char* v : {r.l, r.r, r.f, r.flag})
            s += std::string(v) + "\r\n";
    }
    return s;
}

// 10 + 10 + 10 + 2 vertical and 41 horizontal grid lines come first.
constexpr std::size_t kGridLines = 73;

std::vector<GraphLine> curves(const GraphModel& m) {
    return {m.surface.begin() + kGridLines, m.surface.end()};
}

GraphModel loaded(const std::vector<Row>& rows, const char* prefs = nullptr) {
    writeText(dataPath("wavgraphdata"), graphData(rows));
    if (prefs)
        writeText(dataPath("wavgraphsetup"), prefs);
    GraphModel m;
    m.loadForm();
    return m;
}

const std::vector<Row> kMinus10 = {
    {"-10", "-10", "100", "1"}, {"-10", "-10", "1000", "1"}, {"-10", "-10", "10000", "1"}};

} // namespace

TEST(GraphLevels, MinusTenAtReferenceZeroRangeForty) {
    TempHome home;
    GraphModel m = loaded(kMinus10);
    EXPECT_EQ(m.label1[2].caption, "-10");
    EXPECT_EQ(m.label1[2].top, 95);
    EXPECT_EQ(m.label1[2].left, -1000);
    auto c = curves(m);
    // Steps 2 and 3 each draw left (blue) then right (red).
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], (GraphLine{12000, 100, 6001, 100, 2, kBlue}));
    EXPECT_EQ(c[1], (GraphLine{12000, 100, 6001, 100, 2, kRed}));
    EXPECT_EQ(c[2], (GraphLine{18000, 100, 12000, 100, 2, kBlue}));
    EXPECT_EQ(c[3], (GraphLine{18000, 100, 12000, 100, 2, kRed}));
}

TEST(GraphLevels, ReferenceTwentyLabelsAndPosition) {
    TempHome home;
    GraphModel m = loaded(kMinus10, "2\r\n2\r\n40\r\n20\r\n1\r\n1\r\n");
    const char* want[] = {"20", "15", "10", "5", "0", "-5", "-10", "-15", "-20"};
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(m.label1[i].caption, want[i]) << i;
    EXPECT_EQ(m.label1[9].caption, "");
    EXPECT_EQ(m.label1[10].caption, "");
    for (const GraphLine& l : curves(m))
        EXPECT_TRUE(l.y1 == 300 && l.y2 == 300);
}

TEST(GraphLevels, AboveZeroPlotsAsZero) {
    TempHome home;
    GraphModel m = loaded({{"3", "-3", "100", "1"}, {"3", "0", "200", "1"}},
                          "2\r\n2\r\n40\r\n20\r\n1\r\n1\r\n");
    auto c = curves(m);
    ASSERT_EQ(c.size(), 2u);
    // 0 dB lies 20 dB under the top line: 200 units. -3 dB: 230.
    EXPECT_EQ(c[0].y1, 200);
    EXPECT_EQ(c[0].y2, 200);
    EXPECT_EQ(c[1].y1, 200);
    EXPECT_EQ(c[1].y2, 230);
}

TEST(GraphLevels, RangeOneTwentyStepsAndTenthOfADb) {
    TempHome home;
    GraphModel m = loaded({{"-.1", "-.4", "100", "1"}, {"-60", "-130", "1000", "1"}},
                          "2\r\n2\r\n120\r\n0\r\n1\r\n1\r\n");
    const char* want[] = {"0", "-15", "-30", "-45", "-60", "-75", "-90", "-105", "-120"};
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(m.label1[i].caption, want[i]) << i;
    auto c = curves(m);
    ASSERT_EQ(c.size(), 2u);
    // -0.1 dB: 1 tenth x 1/3 floors to 0; -0.4: 4/3 floors to 1;
    // -60: 600/3 = 200; -130 is below the span and sits on the bottom line.
    EXPECT_EQ(c[0].y2, 0);
    EXPECT_EQ(c[1].y2, 1);
    EXPECT_EQ(c[0].y1, 200);
    EXPECT_EQ(c[1].y1, 400);
}

TEST(GraphFrequency, DecadePositions) {
    struct Case {
        float f, x;
    } cases[] = {{100, 6001},    {100.5f, 6012}, {1000, 12000}, {10000, 18000},
                 {20000, 19806}, {50, 4195},     {101, 6025},   {10.5f, 128}};
    for (auto c : cases) {
        float x = -1;
        EXPECT_TRUE(frequencyX(c.f, x)) << c.f;
        EXPECT_EQ(x, c.x) << c.f;
    }
    for (float f : {10.0f, 0.0f, -100.0f, 20001.0f, 96000.0f}) {
        float x = 7;
        EXPECT_FALSE(frequencyX(f, x)) << f;
        EXPECT_EQ(x, 7) << f;
    }
}

TEST(GraphFrequency, TenHertzStepIsNotPlaced) {
    TempHome home;
    GraphModel m = loaded({{"-10", "-10", "10", "1"}, {"-10", "-10", "100", "1"}});
    EXPECT_EQ(m.xpos[1], 0);
    auto c = curves(m);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].x2, 0); // left of the 10 Hz line at x = 1
    EXPECT_EQ(c[0].x1, 6001);
}

TEST(GraphSegments, UnflaggedRowBreaksOnlyItsOwnLeftSide) {
    TempHome home;
    GraphModel m = loaded({{"-1", "-2", "100", "1"},
                           {"-3", "-4", "1000", "0"},
                           {"-5", "-6", "10000", "1"},
                           {"-7", "-8", "20000", "2"}});
    auto c = curves(m);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0], (GraphLine{18000, 50, 12000, 30, 2, kBlue}));
    EXPECT_EQ(c[1], (GraphLine{18000, 60, 12000, 40, 2, kRed}));
}

TEST(GraphSegments, ColoursAndChannels) {
    TempHome home;
    const std::vector<Row> rows = {{"-1", "-2", "100", "1"}, {"-3", "-4", "1000", "1"}};
    {
        GraphModel m = loaded(rows, "1\r\n1\r\n40\r\n0\r\n1\r\n1\r\n");
        auto c = curves(m);
        ASSERT_EQ(c.size(), 2u);
        EXPECT_EQ(c[0], (GraphLine{12000, 30, 6001, 10, 1, kBlack}));
        EXPECT_EQ(c[1], (GraphLine{12000, 40, 6001, 20, 1, kBlack})); // right over left
    }
    {
        GraphModel m = loaded(rows, "2\r\n2\r\n40\r\n0\r\n1\r\n0\r\n");
        auto c = curves(m);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].rgb, kBlue);
    }
    {
        GraphModel m = loaded(rows, "2\r\n2\r\n40\r\n0\r\n0\r\n1\r\n");
        auto c = curves(m);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].rgb, kRed);
    }
}

TEST(GraphGrid, LinesWidthsAndLabels) {
    TempHome home;
    GraphModel m = loaded({});
    ASSERT_EQ(m.surface.size(), kGridLines); // no flags, no curve
    const float firstDecade[] = {1, 1807, 2863, 3613, 4195, 4670, 5072, 5420, 5726, 6001};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(m.surface[i],
                  (GraphLine{firstDecade[i], 0, firstDecade[i], 400, i == 0 ? 2 : 1, kBlack}));
        EXPECT_EQ(m.surface[10 + i].x1, firstDecade[i] - 1 + 6000);
        EXPECT_EQ(m.surface[10 + i].width, 1);
        EXPECT_EQ(m.surface[20 + i].x1, firstDecade[i] - 1 + 12000);
    }
    EXPECT_EQ(m.surface[30], (GraphLine{18000, 0, 18000, 400, 1, kBlack}));
    EXPECT_EQ(m.surface[31], (GraphLine{19806, 0, 19806, 400, 2, kBlack}));
    for (int j = 0; j <= 40; ++j) {
        const GraphLine& l = m.surface[32 + static_cast<std::size_t>(j)];
        EXPECT_EQ(l, (GraphLine{10, 10.0f * j, 19800, 10.0f * j, j % 5 == 0 ? 2 : 1, kBlack}));
    }
    EXPECT_EQ(m.label8.caption, "10");
    EXPECT_EQ(m.label7.left, 17800);
    EXPECT_EQ(m.label7.top, 405);
}

TEST(GraphClear, KeepsStepsAtZeroAndDrawsGridOnly) {
    TempHome home;
    for (auto [ref, y] : {std::pair{"0", 0.0f}, {"20", 400.0f}, {"-20", 0.0f}, {"-40", 0.0f}}) {
        GraphModel m =
            loaded(kMinus10, (std::string("2\r\n1\r\n40\r\n") + ref + "\r\n1\r\n1\r\n").c_str());
        m.clearLevels();
        EXPECT_EQ(m.surface.size(), kGridLines);
        EXPECT_EQ(m.freq[2], 1000);
        m.choose(*findOption("range20"));
        auto c = curves(m);
        ASSERT_EQ(c.size(), 4u);
        for (const GraphLine& l : c)
            EXPECT_TRUE(l.y1 == y && l.y2 == y) << ref;
    }
}

TEST(GraphPrint, LabelsCurvesAndGrid) {
    TempHome home;
    GraphModel m = loaded(kMinus10, "2\r\n2\r\n4\r\n0\r\n1\r\n0\r\n");
    auto p = m.pemprint();
    const char* want[] = {"0",    "-0.4", "-0.8", "-1.2", "-1.6", "-2",
                          "-2.4", "-2.8", "-3.2", "-3.6", "-4"};
    for (std::size_t i = 0; i <= 10; ++i) {
        EXPECT_EQ(p.texts[i].text, want[i]);
        EXPECT_EQ(p.texts[i].top, 40.0f * i - 5);
        EXPECT_EQ(p.texts[i].left, -1000);
    }
    EXPECT_EQ(p.texts[11], (GraphText{GraphModel::kTitle, 5800, -20}));
    EXPECT_EQ(p.texts.back(), (GraphText{"Hertz", 7800, 415}));
    ASSERT_EQ(p.lines.size(), kGridLines + 2); // "L only": two left segments
    for (int j = 0; j <= 40; ++j)
        EXPECT_EQ(p.lines[32 + static_cast<std::size_t>(j)].width, j % 10 == 0 ? 2 : 1);
    // -10 dB is below a 4 dB span: the bottom line, and black in Red Blue.
    EXPECT_EQ(p.lines[kGridLines], (GraphLine{12000, 400, 6001, 400, 2, kBlack}));
    EXPECT_EQ(m.surface.size(), kGridLines + 2); // the screen is untouched
}

TEST(GraphPrint, MinusTenAtHundredLikeTheScreen) {
    TempHome home;
    GraphModel m = loaded(kMinus10);
    auto p = m.pemprint();
    EXPECT_EQ(p.texts[1].text, "-4");
    EXPECT_EQ(p.texts[10].text, "-40");
    ASSERT_EQ(p.lines.size(), kGridLines + 4);
    for (std::size_t i = kGridLines; i < p.lines.size(); ++i)
        EXPECT_EQ(p.lines[i].y1, 100);
}

// Sweep data files: the exact bytes written, reading back, overlays and
// odd files.
#include "graph/graph_model.h"
#include "graph_test_util.h"

#include <gtest/gtest.h>

#include <random>

using namespace qelvar;
using namespace qelvar::graph;
using test::readText;
using test::TempHome;
using test::writeText;

namespace {

constexpr std::size_t kGridLines = 73;

// Steps 1..3 flagged, the levels the page would show.
const char* kGraphData = "-3.25\r\n-.5\r\n100\r\n1\r\n"
                         "-3.3\r\n-12.125\r\n1000\r\n1\r\n"
                         "-20\r\n-19.75\r\n10000\r\n1\r\n";

GraphModel measured() {
    writeText(dataPath("wavgraphdata"), kGraphData);
    GraphModel m;
    m.loadForm();
    return m;
}

std::vector<GraphLine> tail(const std::vector<GraphLine>& v, std::size_t from) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.end()};
}

} // namespace

TEST(SweepFile, WrittenBytes) {
    TempHome home;
    GraphModel m = measured();
    const std::string path = dataPath("a.kzq");
    ASSERT_TRUE(m.SaveFile1(path));
    std::string want =
        "-3.25\r\n-0.5\r\n100\r\n-3.3\r\n-12.125\r\n1000\r\n-20\r\n-19.75\r\n10000\r\n";
    for (int i = 4; i <= 20; ++i)
        want += "0\r\n0\r\n0\r\n";
    EXPECT_EQ(readText(path), want);
    EXPECT_EQ(m.surface.size(), kGridLines + 4); // nothing redrawn
}

TEST(SweepFile, RoundTripDrawsTheSameCurves) {
    TempHome home;
    GraphModel a = measured();
    ASSERT_TRUE(a.SaveFile1(dataPath("a.kzq")));
    GraphModel b = measured();
    b.clearLevels();
    ASSERT_EQ(b.surface.size(), kGridLines);
    b.LoadFile1(dataPath("a.kzq"));
    EXPECT_EQ(tail(b.surface, 2 * kGridLines), tail(a.surface, kGridLines));
    EXPECT_EQ(b.levelL, a.levelL);
    EXPECT_EQ(b.freq, a.freq);
}

TEST(SweepFile, LoadOverlaysUntilAnOptionRedraws) {
    TempHome home;
    GraphModel m = measured();
    const auto before = tail(m.surface, kGridLines);
    std::string other;
    for (int i = 1; i <= 20; ++i)
        other += "-30\r\n-30\r\n" + std::to_string(100 * i) + "\r\n";
    writeText(dataPath("b.kzq"), other);
    m.LoadFile1(dataPath("b.kzq"));
    // Old grid and curves, a new grid, the new curves: flags stay 1,1,1,0...
    ASSERT_EQ(m.surface.size(), 2 * (kGridLines + 4));
    EXPECT_EQ(m.surface[kGridLines], before[0]);
    const GraphLine fresh = m.surface.back();
    EXPECT_EQ(fresh.y1, 300);
    EXPECT_EQ(fresh.x1, 8862); // 300 Hz: floor(ln 3 x 2606) + 6000
    m.choose(*findOption("Wide"));
    ASSERT_EQ(m.surface.size(), kGridLines + 4);
    EXPECT_EQ(m.surface.back(), fresh);
}

TEST(SweepFile, ShortGarbageAndBinaryFiles) {
    TempHome home;
    GraphModel m = measured();
    writeText(dataPath("short"), "-7\r\n");
    m.LoadFile1(dataPath("short"));
    EXPECT_EQ(m.levelL[1], -7);
    EXPECT_EQ(m.levelR[1], -0.5f);
    EXPECT_EQ(m.freq[1], 100);

    // Values: "abc", "", "" for step 1, then 1e999 (too big) and -1e30.
    writeText(dataPath("garbage"), "abc\r\n\r\n\r\n1e999\r\n-1e30\r\n");
    m.LoadFile1(dataPath("garbage"));
    EXPECT_EQ(m.levelL[1], -7);
    EXPECT_EQ(m.freq[1], 100);
    EXPECT_EQ(m.levelL[2], -3.3f);
    EXPECT_EQ(m.levelR[2], -1e30f);
    EXPECT_EQ(m.surface.back().y2, 400); // drawn on the bottom line

    std::mt19937 rng(7);
    std::string bin(5000, '\0');
    for (char& c : bin)
        c = static_cast<char>(rng());
    writeText(dataPath("binary"), bin);
    m.LoadFile1(dataPath("binary"));
    for (const GraphLine& l : m.surface) {
        EXPECT_TRUE(l.y1 >= 0 && l.y1 <= 400 && l.y2 >= 0 && l.y2 <= 400);
        EXPECT_TRUE(l.x1 >= 0 && l.x1 <= 19806);
    }

    const auto count = m.surface.size();
    m.LoadFile1(dataPath("missing")); // nothing read, drawn over itself
    EXPECT_EQ(m.surface.size(), count + kGridLines + 4);
}

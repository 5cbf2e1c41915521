// The calibration file and the graph data file.
#include "construct/measure/calibration.h"
#include "construct/measure/graphdata.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::construct;

namespace {

TEST(CalibrationFile, RoundTrip) {
    captest::TempDir dir;
    std::string path = dir.file("wavcaldata");
    MeasureSettings s;
    for (int i = 0; i < kCalEntries; ++i) {
        s.calL[static_cast<std::size_t>(i)] = i * 0.37 - 4;
        s.calR[static_cast<std::size_t>(i)] = -i * 1.013 + 0.001;
    }
    ASSERT_TRUE(saveCalibration(path, s));
    MeasureSettings back;
    loadCalibration(path, back);
    EXPECT_EQ(back.calL[0], 0.0); // step 0 is not in the file
    for (std::size_t i = 1; i < kCalEntries; ++i) {
        EXPECT_NEAR(back.calL[i], s.calL[i], 1e-13) << i; // 15 significant digits
        EXPECT_NEAR(back.calR[i], s.calR[i], 1e-13) << i;
    }
}

TEST(CalibrationFile, DamagedFiles) {
    captest::TempDir dir;
    std::string path = dir.file("wavcaldata");
    MeasureSettings s;
    s.calL.fill(5.0);
    s.calR.fill(5.0);
    // A short file: calL[1], calR[1], calL[2]; the rest keep their values.
    // A value that is no number, or out of range, is passed over.
    std::string text = "0.5\r\nabc\n1e999\r\n7\r\n";
    captest::writeBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
    loadCalibration(path, s);
    EXPECT_EQ(s.calL[1], 0.5);
    EXPECT_EQ(s.calR[1], 5.0);
    EXPECT_EQ(s.calL[2], 5.0);
    EXPECT_EQ(s.calR[2], 7.0);
    EXPECT_EQ(s.calL[25], 5.0);

    std::vector<unsigned char> junk(100000);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<unsigned char>((i * 7919u + 13u) % 256u);
    captest::writeBytes(path, junk);
    loadCalibration(path, s);
    for (std::size_t i = 0; i < kCalEntries; ++i)
        ASSERT_TRUE(std::isfinite(s.calL[i]) && std::isfinite(s.calR[i])) << i;
}

TEST(GraphData, EightyLinesWithTheDefaultTable) {
    captest::TempDir dir;
    std::string path = dir.file("wavgraphdata");
    std::vector<GraphRow> rows(20);
    const int freqs[20] = {20,   30,   50,   100,  200,  400,   1000,  2000,  3000,  4000,
                           5000, 6000, 7000, 8000, 9000, 10000, 12000, 15000, 18000, 20000};
    for (std::size_t i = 0; i < 20; ++i)
        rows[i] = GraphRow{"", "", freqs[i], 1};
    rows[0].leftBox = "-1.020";
    ASSERT_TRUE(writeGraphData(path, rows));
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> l;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        l.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
    ASSERT_EQ(l.size(), 80u);
    EXPECT_EQ(l[0], "-1.02");
    EXPECT_EQ(l[1], "0");
    EXPECT_EQ(l[2], "20");
    EXPECT_EQ(l[3], "1");
    EXPECT_EQ(l[78], "20000");
}

} // namespace

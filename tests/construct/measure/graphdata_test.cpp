#include "construct/measure/graphdata.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace qelvar::construct;

namespace {

// The sweep rows' start-up frequencies.
constexpr int kDefaultFreqs[20] = {20,   30,   50,   100,  200,  400,   1000,  2000,  3000,  4000,
                                   5000, 6000, 7000, 8000, 9000, 10000, 12000, 15000, 18000, 20000};

std::vector<GraphRow> defaultRows() {
    std::vector<GraphRow> rows(20);
    for (std::size_t i = 0; i < 20; ++i) {
        rows[i].frequency = kDefaultFreqs[i];
        rows[i].include = 1;
    }
    return rows;
}

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        out.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
    return out;
}

TEST(GraphData, DefaultTableWithEmptyBoxes) {
    captest::TempDir dir;
    std::string path = dir.file("wavgraphdata");
    ASSERT_TRUE(writeGraphData(path, defaultRows()));
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    auto l = splitCrLf(ss.str());
    ASSERT_EQ(l.size(), 80u);
    EXPECT_EQ(l[0], "0");
    EXPECT_EQ(l[1], "0");
    EXPECT_EQ(l[2], "20");
    EXPECT_EQ(l[3], "1");
    EXPECT_EQ(l[78], "20000");
    EXPECT_EQ(l[79], "1");
}

TEST(GraphData, ReadingsAsShownInTheWriteForm) {
    auto rows = defaultRows();
    rows[0].leftBox = "-1.020";
    rows[0].rightBox = " 1.479";
    rows[1].leftBox = " .5";
    rows[1].rightBox = "-.25";
    rows[1].include = 0;
    rows[2].leftBox = "junk";
    rows[2].rightBox = "-100.5";
    auto l = splitCrLf(graphDataText(rows));
    ASSERT_EQ(l.size(), 80u);
    std::vector<std::string> head(l.begin(), l.begin() + 12);
    EXPECT_EQ(head, (std::vector<std::string>{"-1.02", "1.479", "20", "1", ".5", "-.25", "30", "0",
                                              "0", "-100.5", "50", "1"}));
}

TEST(GraphData, AlwaysTwentyRows) {
    auto few = splitCrLf(graphDataText(std::vector<GraphRow>(3, GraphRow{"-3", "-4", 1000, 1})));
    ASSERT_EQ(few.size(), 80u);
    EXPECT_EQ(few[8], "-3");
    EXPECT_EQ(few[12], "0");
    EXPECT_EQ(few[14], "0");
    auto many = splitCrLf(graphDataText(std::vector<GraphRow>(25, GraphRow{"1", "2", 3, 1})));
    EXPECT_EQ(many.size(), 80u);
}

TEST(GraphData, UnwritablePathReportsFailure) {
    captest::TempDir dir;
    EXPECT_FALSE(writeGraphData(dir.file("none/wavgraphdata"), defaultRows()));
}

} // namespace

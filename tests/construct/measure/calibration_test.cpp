#include "construct/measure/calibration.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::construct;

namespace {

std::string lines(std::initializer_list<const char*> values) {
    std::string s;
    for (const char* v : values)
        s += std::string(v) + "\r\n";
    return s;
}

TEST(SetCal, NegatesTheBoxesOfRows1To20) {
    MeasureSettings s;
    s.calL[21] = 7.0;
    std::vector<std::string> left(20, " 0"), right(20, "");
    left[0] = "-1.020";
    right[0] = " 1.479";
    left[19] = "-100.5";
    right[19] = "junk";
    setCal(s, left, right);
    EXPECT_DOUBLE_EQ(s.calL[1], 1.02);
    EXPECT_DOUBLE_EQ(s.calR[1], -1.479);
    EXPECT_DOUBLE_EQ(s.calL[20], 100.5);
    EXPECT_EQ(s.calR[20], 0.0);
    EXPECT_EQ(s.calL[2], 0.0);
    EXPECT_FALSE(std::signbit(s.calL[2])) << "a box of \" 0\" gives 0, not -0";
    EXPECT_EQ(s.calL[0], 0.0);
    EXPECT_EQ(s.calL[21], 7.0) << "entries past row 20 are kept";
}

TEST(SetCal, ShortSpansCountAsEmptyBoxes) {
    MeasureSettings s;
    s.calL.fill(3.0);
    s.calR.fill(3.0);
    std::vector<std::string> one = {"-2"};
    setCal(s, one, {});
    EXPECT_EQ(s.calL[1], 2.0);
    EXPECT_EQ(s.calR[1], 0.0);
    EXPECT_EQ(s.calL[2], 0.0);
    setCalRow(s, 0, "-9", "-9");
    setCalRow(s, 21, "-9", "-9");
    EXPECT_EQ(s.calL[0], 3.0);
    EXPECT_EQ(s.calL[21], 3.0);
}

TEST(CalibrationFile, FiftyLinesInTheWriteForm) {
    MeasureSettings s;
    s.calL[1] = 0.5;
    s.calR[1] = -0.25;
    s.calL[2] = 1.02;
    s.calR[2] = -12.34;
    s.calL[25] = 600;
    s.calR[25] = -1e-20; // tiny values keep their exponent
    s.calL[0] = 99;      // step 0 is not in the file
    std::string expected = lines({".5", "-.25", "1.02", "-12.34"});
    for (int i = 3; i <= 24; ++i)
        expected += "0\r\n0\r\n";
    expected += lines({"600", "-1E-20"});
    EXPECT_EQ(calibrationText(s), expected);
}

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
    EXPECT_EQ(back.calL[0], 0.0);
    for (std::size_t i = 1; i < kCalEntries; ++i) {
        // the file keeps 15 significant digits
        EXPECT_NEAR(back.calL[i], s.calL[i], 1e-13) << i;
        EXPECT_NEAR(back.calR[i], s.calR[i], 1e-13) << i;
    }
}

TEST(CalibrationFile, MissingShortAndDamagedFiles) {
    captest::TempDir dir;
    std::string path = dir.file("wavcaldata");
    MeasureSettings s;
    s.calL.fill(5.0);
    s.calR.fill(5.0);
    loadCalibration(path, s); // missing: nothing changes
    EXPECT_EQ(s.calL[1], 5.0);

    // three values: calL[1], calR[1], calL[2]; the rest keep their values
    captest::writeBytes(path,
                        {'0', '.', '5', '\r', '\n', '-', '.', '2', '5', '\n', '7', '\r', '\n'});
    loadCalibration(path, s);
    EXPECT_EQ(s.calL[1], 0.5);
    EXPECT_EQ(s.calR[1], -0.25);
    EXPECT_EQ(s.calL[2], 7.0);
    EXPECT_EQ(s.calR[2], 5.0);
    EXPECT_EQ(s.calL[25], 5.0);

    // a value that is no number, or out of range, is passed over
    std::string text = lines({"abc", "1e999", "2,3"});
    captest::writeBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
    s.calL.fill(5.0);
    s.calR.fill(5.0);
    loadCalibration(path, s);
    EXPECT_EQ(s.calL[1], 5.0);
    EXPECT_EQ(s.calR[1], 5.0);
    EXPECT_EQ(s.calL[2], 2.0);
    EXPECT_EQ(s.calR[2], 3.0);
    EXPECT_TRUE(std::isfinite(s.calR[1]));
}

TEST(CalibrationFile, BinaryJunkNeverCrashes) {
    captest::TempDir dir;
    std::string path = dir.file("wavcaldata");
    std::vector<unsigned char> junk(100000);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<unsigned char>((i * 7919u + 13u) % 256u);
    captest::writeBytes(path, junk);
    MeasureSettings s;
    loadCalibration(path, s);
    for (std::size_t i = 0; i < kCalEntries; ++i) {
        EXPECT_TRUE(std::isfinite(s.calL[i]));
        EXPECT_TRUE(std::isfinite(s.calR[i]));
    }
}

TEST(CalibrationFile, SaveIntoAMissingFolderFailsAndKeepsNothing) {
    captest::TempDir dir;
    EXPECT_FALSE(saveCalibration(dir.file("none/wavcaldata"), MeasureSettings{}));
}

} // namespace

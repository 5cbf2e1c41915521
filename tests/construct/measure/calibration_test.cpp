// The calibration file "wavcaldata": calL[1], calR[1], ... calR[25].
#include "construct/measure/calibration.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::construct;
using namespace qelvar::test;

namespace {

TEST(CalibrationFile, ReadsAHandWrittenFile) {
    TempDir dir;
    std::string text = "1.5\r\n-.25\r\n0\r\n3.0000000000001\r\n";
    for (int i = 3; i <= 24; ++i)
        text += "0\r\n0\r\n";
    writeText(dir.path / "wavcaldata", text + "-12.125\r\n7\r\n");
    MeasureSettings s;
    s.calL[0] = 9;
    loadCalibration(dir / "wavcaldata", s);
    EXPECT_EQ(s.calL[0], 9.0); // step 0 is not in the file
    EXPECT_EQ(s.calL[1], 1.5);
    EXPECT_EQ(s.calR[1], -0.25);
    EXPECT_EQ(s.calR[2], 3.0000000000001);
    EXPECT_EQ(s.calL[25], -12.125);
    EXPECT_EQ(s.calR[25], 7.0);
}

TEST(CalibrationFile, WritesFifteenDigitsWithoutLeadingZerosInCrLfLines) {
    TempDir dir;
    MeasureSettings s;
    s.calL[1] = 1.5;
    s.calR[1] = -0.25;
    s.calL[2] = 1.0 / 3;
    s.calL[3] = NAN;
    s.calR[25] = -12.125;
    ASSERT_TRUE(saveCalibration(dir / "wavcaldata", s));
    std::string want = "1.5\r\n-.25\r\n.333333333333333\r\n0\r\n";
    for (int i = 3; i <= 24; ++i)
        want += "0\r\n0\r\n";
    EXPECT_EQ(readText(dir.path / "wavcaldata"), want + "0\r\n-12.125\r\n");
}

TEST(CalibrationFile, DamagedFiles) {
    TempDir dir;
    MeasureSettings s;
    s.calL.fill(5.0);
    s.calR.fill(5.0);
    // A short file: calL[1], calR[1], calL[2]; the rest keep their values.
    // A value that is no number, or out of range, is passed over.
    writeText(dir.path / "wavcaldata", "0.5\r\nabc\n1e999\r\n7\r\n");
    loadCalibration(dir / "wavcaldata", s);
    EXPECT_EQ(s.calL[1], 0.5);
    EXPECT_EQ(s.calR[1], 5.0);
    EXPECT_EQ(s.calL[2], 5.0);
    EXPECT_EQ(s.calR[2], 7.0);
    EXPECT_EQ(s.calL[25], 5.0);
    std::string junk(100000, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 7919u + 13u) % 256u);
    writeText(dir.path / "wavcaldata", junk);
    loadCalibration(dir / "wavcaldata", s);
    for (std::size_t i = 0; i < kCalEntries; ++i)
        ASSERT_TRUE(std::isfinite(s.calL[i]) && std::isfinite(s.calR[i])) << i;
}

} // namespace

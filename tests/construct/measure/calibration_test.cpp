// The calibration file "wavcaldata": calL[1], calR[1], ... calR[25].
#include "construct/measure/calibration.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::construct;
using namespace qelvar::test;

namespace {

class CalibrationFile : public ::testing::Test {
  protected:
    TempDir dir;
    const std::string path = dir / "wavcaldata";
    MeasureSettings s;
};

// Fifteen digits without leading zeros in CR LF lines; read back as written,
// step 0 (not in the file) untouched.
TEST_F(CalibrationFile, WritesAndReadsBack) {
    std::tie(s.calL[1], s.calR[1], s.calL[2], s.calR[2], s.calL[3], s.calR[25]) =
        std::tuple(1.5, -0.25, 1.0 / 3, 3.0000000000001, NAN, -12.125);
    ASSERT_TRUE(saveCalibration(path, s));
    std::string zeros; // steps 3..24
    for (int i = 3; i <= 24; ++i)
        zeros += "0\r\n0\r\n";
    EXPECT_EQ(readText(path), "1.5\r\n-.25\r\n.333333333333333\r\n3.0000000000001\r\n" + zeros +
                                  "0\r\n-12.125\r\n");
    MeasureSettings back;
    back.calL[0] = 9;
    loadCalibration(path, back);
    EXPECT_EQ(std::tuple(back.calL[0], back.calL[1], back.calR[1], back.calL[2], back.calR[2],
                         back.calL[3], back.calR[25]),
              std::tuple(9.0, 1.5, -0.25, 0.333333333333333, 3.0000000000001, 0.0, -12.125));
}

TEST_F(CalibrationFile, DamagedFiles) {
    s.calL.fill(5.0);
    s.calR.fill(5.0);
    // A short file: calL[1], calR[1], calL[2]; the rest keep their values.
    // A value that is no number, or out of range, is passed over.
    writeText(path, "0.5\r\nabc\n1e999\r\n7\r\n");
    loadCalibration(path, s);
    EXPECT_EQ(std::tuple(s.calL[1], s.calR[1], s.calL[2], s.calR[2], s.calL[25]),
              std::tuple(0.5, 5.0, 5.0, 7.0, 5.0));
}

} // namespace

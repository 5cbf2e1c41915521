#include "construct/measure/calibration.h"
#include "construct/measure/measure.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <random>

using namespace qelvar::construct;
using captest::constantCapture;

namespace {

// 20·ln(0.5)/2.302585 + 5, worked out separately: a mean magnitude of 16320.
constexpr double kHalfScale = -1.020600156432403;

class PeakreadTest : public ::testing::Test {
  protected:
    captest::TempDir dir;
    Reading read(const std::vector<unsigned char>& bytes, int step = 1,
                 const MeasureSettings& s = {}) {
        std::string path = (dir / "wavrec" + std::to_string(step) + ".wav");
        qelvar::test::writeText(path, std::string(bytes.begin(), bytes.end()));
        return peakread(path, step, s);
    }
};

TEST_F(PeakreadTest, OffsetAddsOnlyWhenOn) {
    MeasureSettings s;
    s.offsetDb = 2.5;
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 1, s).left, kHalfScale, 1e-12);
    s.offsetOn = true;
    Reading r = read(constantCapture(16384, 0, 100), 1, s);
    EXPECT_NEAR(r.left, 1.479399843567597, 1e-12);
    EXPECT_DOUBLE_EQ(r.right, 2.5);
    EXPECT_EQ(readingText(r.left), " 1.479");
}

TEST_F(PeakreadTest, SetCalThenUseCalZeroesEveryRow) {
    MeasureSettings s;
    std::vector<std::string> left, right;
    for (int r = 1; r <= 20; ++r) { // a different level in every row, silence in row 5
        Reading x = read(constantCapture(r == 5 ? 0 : 1500 * r, -700 * r - 13, 2000), r, s);
        left.push_back(readingText(x.left));
        right.push_back(readingText(x.right));
    }
    setCal(s, left, right);
    s.calOn = true;
    for (int r = 1; r <= 20; ++r) {
        Reading x = peakread((dir / "wavrec" + std::to_string(r) + ".wav"), r, s);
        EXPECT_EQ(readingText(x.left) + readingText(x.right), " 0 0") << "row " << r;
    }
}

// A positive sample whose bytes give magnitude m (hi × 255 + lo).
int ofMagnitude(int m) {
    return m / 255 * 256 + m % 255;
}

// A reading within a tenth of a dB of 0 shows as 0; the rule applies to
// the reading as shown, after the offset and the calibration are added.
// The magnitudes are a step either side of ±0.1 dB, and a few hundredths
// in; the levels are 20·ln(m/32640)/2.302585 + 5, worked out separately.
TEST_F(PeakreadTest, ReadingsWithinATenthOfADbOfZeroReadZero) {
    auto boxes = [&](int mL, int mR, int step = 1, const MeasureSettings& s = {}) {
        const Reading r = read(constantCapture(ofMagnitude(mL), ofMagnitude(mR), 100), step, s);
        return readingText(r.left) + "|" + readingText(r.right);
    };
    EXPECT_EQ(boxes(18567, 18145), " 0| 0");         // +0.09983, -0.09986
    EXPECT_EQ(boxes(18568, 18144), " .1002|-.1003"); // +0.10030, -0.10034
    EXPECT_EQ(boxes(18461, 18332), " 0| 0");         // +0.05010, -0.01081
    // The same two takes with a 0.05 dB offset (0.0500000007 in single
    // precision) and row 3's calibration: +0.12010 and -0.10081.
    MeasureSettings s;
    s.offsetOn = s.calOn = true;
    s.offsetDb = 0.05;
    s.calL[3] = 0.02;
    s.calR[3] = -0.14;
    EXPECT_EQ(boxes(18461, 18332, 3, s), " .1201|-.1008");
}

TEST_F(PeakreadTest, TruncatedAndRandomFilesMatchTheArithmetic) {
    auto full = constantCapture(12345, -23456, 64);
    std::vector<std::vector<unsigned char>> files;
    for (std::size_t n : {45u, 49u, 55u, 56u, 57u, 60u, 61u, 150u, 299u})
        files.emplace_back(full.begin(), full.begin() + static_cast<long>(n));
    std::mt19937 gen(20240611);
    for (std::size_t n : {3u, 52u, 57u, 1001u, 65536u + 48u + 5u, 300007u}) {
        files.emplace_back(n);
        for (auto& c : files.back())
            c = static_cast<unsigned char>(gen() & 0xFF);
    }
    for (const auto& b : files) {
        auto [l, r] = captest::referenceLevels(b);
        Reading x = read(b);
        EXPECT_NEAR(x.left, l, 1e-9) << b.size() << " bytes";
        EXPECT_NEAR(x.right, r, 1e-9) << b.size() << " bytes";
    }
}

} // namespace

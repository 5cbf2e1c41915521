#include "construct/measure/calibration.h"
#include "construct/measure/measure.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace qelvar::construct;
using captest::capture;
using captest::constantCapture;
using captest::writeBytes;

namespace {

// 20·ln(0.5)/2.302585 + 5, worked out separately: a mean magnitude of 16320.
constexpr double kHalfScale = -1.020600156432403;

class PeakreadTest : public ::testing::Test {
  protected:
    captest::TempDir dir;
    Reading read(const std::vector<unsigned char>& bytes, int step = 1,
                 const MeasureSettings& s = {}) {
        std::string path = dir.file("wavrec" + std::to_string(step) + ".wav");
        writeBytes(path, bytes);
        return peakread(path, step, s);
    }
};

TEST_F(PeakreadTest, HeaderOnlyReadsZeroPlusOffsetAndCalibration) {
    std::vector<unsigned char> header = capture({});
    ASSERT_EQ(header.size(), 44u);
    Reading plain = read(header);
    EXPECT_EQ(plain.left, 0.0);
    EXPECT_EQ(plain.right, 0.0);

    MeasureSettings s;
    s.offsetOn = true;
    s.offsetDb = 2.5;
    s.calOn = true;
    s.calL[3] = 1.25;
    s.calR[3] = -4.0;
    Reading r = read(header, 3, s);
    EXPECT_DOUBLE_EQ(r.left, 3.75);
    EXPECT_DOUBLE_EQ(r.right, -1.5);
    EXPECT_EQ(readingText(r.left), " 3.75");
    EXPECT_EQ(readingText(r.right), "-1.5");
}

TEST_F(PeakreadTest, EmptyMissingAndOddFilesReadZero) {
    EXPECT_EQ(read({}).left, 0.0);
    std::string missing = dir.file("wavrec7.wav");
    Reading r = peakread(missing, 7, {});
    EXPECT_EQ(r.left, 0.0);
    EXPECT_EQ(r.right, 0.0);
    // the reader creates a missing capture file empty, as the recorder's
    // file open does
    EXPECT_TRUE(std::filesystem::exists(missing));
    EXPECT_EQ(std::filesystem::file_size(missing), 0u);
    // a folder in place of the file, or a file in a missing folder
    EXPECT_EQ(peakread(dir.file(""), 1, {}).left, 0.0);
    EXPECT_EQ(peakread(dir.file("no/such/wavrec1.wav"), 1, {}).right, 0.0);
}

TEST_F(PeakreadTest, SilenceReadsZero) {
    Reading r = read(constantCapture(0, 0, 4410));
    EXPECT_EQ(r.left, 0.0);
    EXPECT_EQ(r.right, 0.0);
    EXPECT_EQ(readingText(r.left), " 0");
}

TEST_F(PeakreadTest, HalfScaleReadsMinusOnePointZeroTwo) {
    Reading r = read(constantCapture(16384, 0, 1000));
    EXPECT_NEAR(r.left, kHalfScale, 1e-12);
    EXPECT_EQ(r.right, 0.0);
    EXPECT_EQ(readingText(r.left), "-1.020");
}

TEST_F(PeakreadTest, NegativeCodesFoldDownFrom65280) {
    // −1 is FF FF: 255 × 255 + 255 = 65280, folded to 0.
    // −16384 is 00 C0: 192 × 255 = 48960, folded to 16320.
    Reading r = read(constantCapture(-1, -16384, 1000));
    EXPECT_EQ(r.left, 0.0);
    EXPECT_NEAR(r.right, kHalfScale, 1e-12);
    // +32767 (FF 7F) and −32768 (00 80) both come to 32640: +5 dB
    Reading full = read(constantCapture(32767, -32768, 100));
    EXPECT_NEAR(full.left, 5.0, 1e-12);
    EXPECT_NEAR(full.right, 5.0, 1e-12);
}

TEST_F(PeakreadTest, FramesSummedAreThoseFromOffset48ExceptTheLastTwo) {
    // 10 frames after the header: n = 84, F = floor(31 ÷ 4) = 7, so frames
    // 1..7 count; frame 0 (offset 44) and frames 8 and 9 do not.
    std::vector<std::pair<int, int>> frames(10, {16384, 8192});
    frames[0] = frames[8] = frames[9] = {32767, 32767};
    Reading r = read(capture(frames));
    EXPECT_NEAR(r.left, kHalfScale, 1e-12);
    // 8192 is 00 20: 32 × 255 = 8160, a quarter of full scale
    EXPECT_NEAR(r.right, 20 * std::log(0.25) / 2.302585 + 5, 1e-12);
}

TEST_F(PeakreadTest, ShortFilesByLength) {
    // 57 bytes is the shortest file with one frame summed (offsets 48..51)
    std::vector<unsigned char> b = constantCapture(16384, 16384, 3);
    b.resize(57);
    EXPECT_NEAR(read(b).left, kHalfScale, 1e-12);
    b.resize(56); // F = 0
    EXPECT_EQ(read(b).left, 0.0);
    b.resize(53);
    EXPECT_EQ(read(b).right, 0.0);
}

TEST_F(PeakreadTest, OffsetAddsOnlyWhenOn) {
    MeasureSettings s;
    s.offsetDb = 2.5;
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 1, s).left, kHalfScale, 1e-12);
    s.offsetOn = true;
    Reading r = read(constantCapture(16384, 0, 100), 1, s);
    EXPECT_NEAR(r.left, 1.479399843567597, 1e-12);
    EXPECT_DOUBLE_EQ(r.right, 2.5);
    EXPECT_EQ(readingText(r.left), " 1.479");
    // the offset is single precision, as the offset box is
    s.offsetDb = 0.3;
    EXPECT_EQ(read(capture({}), 1, s).left, static_cast<double>(0.3f));
    // an offset or calibration entry that is no finite number adds nothing
    s.offsetDb = 1e300;
    s.calOn = true;
    s.calL[1] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 1, s).left, kHalfScale, 1e-12);
}

TEST_F(PeakreadTest, LevelsNearZeroBecomeZero) {
    MeasureSettings s;
    s.calOn = true;
    s.calL[2] = 1.0206; // −0.0000 → 0
    s.calR[2] = 0.0;
    Reading r = read(constantCapture(16384, 0, 100), 2, s);
    EXPECT_EQ(r.left, 0.0);
    s.calL[2] = -kHalfScale + 0.1001;
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 2, s).left, 0.1001, 1e-9);
    s.calL[2] = -kHalfScale - 0.1001;
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 2, s).left, -0.1001, 1e-9);
    s.calL[2] = -kHalfScale + 0.09;
    EXPECT_EQ(read(constantCapture(16384, 0, 100), 2, s).left, 0.0);
    s.calL[2] = -kHalfScale - 0.09;
    EXPECT_EQ(read(constantCapture(16384, 0, 100), 2, s).left, 0.0);
    // calibration entries outside the table are not used
    s.calL.fill(50.0);
    EXPECT_NEAR(read(constantCapture(16384, 0, 100), 30, s).left, kHalfScale, 1e-12);
}

TEST_F(PeakreadTest, SetCalThenUseCalZeroesEveryRow) {
    MeasureSettings s;
    std::vector<std::string> left(20), right(20);
    for (int r = 1; r <= 20; ++r) {
        // a different level in every row, silence in row 5
        int l = r == 5 ? 0 : 1500 * r;
        auto bytes = constantCapture(l, -700 * r - 13, 2000);
        Reading x = read(bytes, r, s);
        left[static_cast<std::size_t>(r - 1)] = readingText(x.left);
        right[static_cast<std::size_t>(r - 1)] = readingText(x.right);
    }
    EXPECT_EQ(left[4], " 0");
    setCal(s, left, right);
    s.calOn = true;
    for (int r = 1; r <= 20; ++r) {
        Reading x = peakread(dir.file("wavrec" + std::to_string(r) + ".wav"), r, s);
        EXPECT_EQ(readingText(x.left), " 0") << "row " << r;
        EXPECT_EQ(readingText(x.right), " 0") << "row " << r;
    }
}

TEST_F(PeakreadTest, TruncatedFilesMatchTheArithmetic) {
    auto full = constantCapture(12345, -23456, 64);
    for (std::size_t n : {45u, 47u, 49u, 55u, 58u, 59u, 60u, 61u, 101u, 150u, 299u}) {
        std::vector<unsigned char> b(full.begin(), full.begin() + static_cast<long>(n));
        auto [l, r] = captest::referenceLevels(b);
        Reading x = read(b);
        EXPECT_NEAR(x.left, l, 1e-9) << n << " bytes";
        EXPECT_NEAR(x.right, r, 1e-9) << n << " bytes";
    }
}

TEST_F(PeakreadTest, RandomBytesMatchTheArithmetic) {
    std::mt19937 gen(20240611);
    for (std::size_t n : {3u, 52u, 57u, 1001u, 65536u + 48u + 5u, 300007u}) {
        std::vector<unsigned char> b(n);
        for (auto& c : b)
            c = static_cast<unsigned char>(gen() & 0xFF);
        auto [l, r] = captest::referenceLevels(b);
        Reading x = read(b);
        EXPECT_NEAR(x.left, l, 1e-9) << n << " bytes";
        EXPECT_NEAR(x.right, r, 1e-9) << n << " bytes";
    }
}

TEST(ReadingText, FirstSixCharactersOfTheStrForm) {
    EXPECT_EQ(readingText(0.0), " 0");
    EXPECT_EQ(readingText(-3.01029995663981), "-3.010");
    EXPECT_EQ(readingText(12.5), " 12.5");
    EXPECT_EQ(readingText(0.5), " .5");
    EXPECT_EQ(readingText(-0.25), "-.25");
    EXPECT_EQ(readingText(-100.53), "-100.5");
    EXPECT_EQ(readingText(4.999999), " 4.999");
}

TEST(BoxValue, LeadingNumberOrZero) {
    EXPECT_EQ(boxValue(""), 0.0);
    EXPECT_EQ(boxValue("abc"), 0.0);
    EXPECT_EQ(boxValue(" 12.5"), 12.5);
    EXPECT_EQ(boxValue("-1.020"), -1.02);
    EXPECT_EQ(boxValue("-.25dB"), -0.25);
    EXPECT_EQ(boxValue("1e999"), 0.0);
}

TEST(CapturePath, NamedAfterTheStep) {
    std::string p = capturePath(12);
    EXPECT_EQ(p.substr(p.size() - 25), "/Qelvarfiles/wavrec12.wav");
}

} // namespace

#include "construct/noise/noise_frame.h"

#include <gtest/gtest.h>

using namespace qelvar::noise;
using qelvar::wav::FileImage;

namespace {

std::array<int, 4> frameBytes(const FileImage& im, std::size_t n) {
    std::size_t k = 4 * n + 41;
    return {im[k], im[k + 1], im[k + 2], im[k + 3]};
}

std::uint32_t field32(const FileImage& im, std::size_t first) {
    return im[first] | (im[first + 1] << 8) | (im[first + 2] << 16) |
           (static_cast<std::uint32_t>(im[first + 3]) << 24);
}

} // namespace

TEST(NoiseFrame, RoundsHalfToEven) {
    EXPECT_EQ(roundHalfEven(0.5), 0.0);
    EXPECT_EQ(roundHalfEven(1.5), 2.0);
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(-3.5), -4.0);
    EXPECT_EQ(roundHalfEven(65534.7), 65535.0);
    EXPECT_EQ(roundHalfEven(2.4999999999), 2.0);
    EXPECT_EQ(roundHalfEven(3e15 + 0.5), std::nearbyint(3e15 + 0.5));
}

TEST(NoiseFrame, CodesOfTheFullRange) {
    FileImage im(200);
    // −0.3 + 65535 = 65534.7 → 65535; 0 → 0; 16383.75 → 16384.
    encodeNoiseFrame(im, 1, -0.3, 0.0, fullCodes);
    EXPECT_EQ(frameBytes(im, 1), (std::array<int, 4>{0xFF, 0xFF, 0x00, 0x00}));
    encodeNoiseFrame(im, 2, 16383.75, -16383.75, fullCodes);
    // −16383.75 + 65535 = 49151.25 → 49151 = BF FF.
    EXPECT_EQ(frameBytes(im, 2), (std::array<int, 4>{0x00, 0x40, 0xFF, 0xBF}));
    // Values beyond the range are limited before rounding.
    encodeNoiseFrame(im, 3, 70000.0, -70000.0, fullCodes);
    EXPECT_EQ(frameBytes(im, 3), (std::array<int, 4>{0xFF, 0xFF, 0x00, 0x00}));
}

TEST(NoiseFrame, RightZeroIsZeroWhateverTheLeft) {
    FileImage im(200);
    for (double left : {-12345.6, -0.5, 0.4, 9999.0}) {
        encodeNoiseFrame(im, 5, left, 0.0, fullCodes);
        EXPECT_EQ(im[4 * 5 + 43], 0);
        EXPECT_EQ(im[4 * 5 + 44], 0);
    }
}

TEST(NoiseFrame, CodesOfTheUlRange) {
    FileImage im(200);
    // 0 → 1 (01 00); −0.2 → 65534.8, limited to 65534 (FE FF).
    encodeNoiseFrame(im, 1, 0.0, -0.2, ulCodes);
    EXPECT_EQ(frameBytes(im, 1), (std::array<int, 4>{0x01, 0x00, 0xFE, 0xFF}));
    encodeNoiseFrame(im, 2, 70000.0, std::nan(""), ulCodes);
    EXPECT_EQ(frameBytes(im, 2), (std::array<int, 4>{0xFE, 0xFF, 0x01, 0x00}));
}

TEST(NoiseFrame, FrameNStartsAtOffset44PlusFourNMinusOne) {
    FileImage im(200);
    encodeNoiseFrame(im, 1, 1.0, 2.0, fullCodes);
    EXPECT_EQ(im[45], 1); // file offset 44
    EXPECT_EQ(im[47], 2);
    encodeNoiseFrame(im, 3, 3.0, 4.0, fullCodes);
    EXPECT_EQ(im[53], 3); // file offset 52
    EXPECT_EQ(im[55], 4);
}

TEST(NoiseLength, DeclaresFourBytesAFrameLessTheHeader) {
    FileImage im(100);
    noiselength(im, 6710, 154350);
    EXPECT_EQ(field32(im, 41), 590516u);
    EXPECT_EQ(field32(im, 5), 590552u);
    noiselength(im, 1, 42099); // IEC with a silent input
    EXPECT_EQ(field32(im, 41), 168348u);
    EXPECT_EQ(field32(im, 5), 168384u);
}

TEST(NoiseLength, TooShortAStretchDeclaresNoData) {
    // 4·(E − S) − 44 is negative for fewer than 11 frames; it must not wrap.
    FileImage im(100);
    noiselength(im, 1, 1);
    EXPECT_EQ(field32(im, 41), 0u);
    EXPECT_EQ(field32(im, 5), 36u);
    noiselength(im, 10, 21); // exactly 11 frames
    EXPECT_EQ(field32(im, 41), 0u);
    noiselength(im, 10, 22);
    EXPECT_EQ(field32(im, 41), 4u);
}

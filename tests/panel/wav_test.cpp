#include "panel/wav/wav.h"

#include <gtest/gtest.h>

using namespace qelvar::wav;
using Bytes2 = std::array<std::uint8_t, 2>;
using Bytes3 = std::array<std::uint8_t, 3>;

// Codes worked by hand from a = F·s·g/2, negatives stored as round(a + F).
TEST(Encoders, WorkedCodeTable) {
    struct Row {
        double s;
        std::uint8_t b8;
        Bytes2 b16;
        Bytes3 b24;
    };
    const Row rows[] = {
        {0.0, 0x7F, {0x00, 0x00}, {0x00, 0x00, 0x00}},
        {0.5, 0xBF, {0x00, 0x40}, {0x00, 0x00, 0x40}},
        {-0.5, 0x3F, {0xFF, 0xBF}, {0xFF, 0xFF, 0xBF}},
        {0.9999999996, 0xFE, {0xFF, 0x7F}, {0xFF, 0xFF, 0x7F}},
        {-0.9999999996, 0x00, {0x00, 0x80}, {0x00, 0x00, 0x80}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(encode8(r.s, 1.0), r.b8) << r.s;
        EXPECT_EQ(encode16(r.s, 1.0), r.b16) << r.s;
        EXPECT_EQ(encode24(r.s, 1.0), r.b24) << r.s;
    }
}

TEST(Encoders, GainScalesAndZeroGainIsSilence) {
    // s·g = −0.5 either way round.
    EXPECT_EQ(encode16(-1.0 + 1e-12, 0.5), (Bytes2{0xFF, 0xBF}));
    EXPECT_EQ(encode16(0.5, 0.0), (Bytes2{0, 0}));
    EXPECT_EQ(encode16(-0.5, 0.0), (Bytes2{0, 0}));
    EXPECT_EQ(encode24(-0.5, 0.0), (Bytes3{0, 0, 0}));
    EXPECT_EQ(encode8(-0.5, 0.0), 127);
    // 16-bit codes are held to 0..65535 before rounding.
    EXPECT_EQ(encode16(1.5, 1.0), (Bytes2{0xFF, 0xBF}));
}

TEST(Hex2Dec, DigitsAndOddCharacters) {
    EXPECT_EQ(Hex2Dec("FF"), 255);
    EXPECT_EQ(Hex2Dec("0"), 0);
    EXPECT_EQ(Hex2Dec(""), 0);
    EXPECT_EQ(Hex2Dec("7F"), 127);
    EXPECT_EQ(Hex2Dec("G"), -1);
    EXPECT_EQ(Hex2Dec("1g"), 16 - 1);  // lower case is outside the digits
    EXPECT_EQ(Hex2Dec("G0"), -16);
}

TEST(FileImage, ConstantHeaderAndNumberFields) {
    FileImage im(100);
    im.putConstantHeader();
    im.setFormat(2, 44100, 16);
    im.setDataLength(176);
    im.setRiffLength(176);
    im.setByteRate(176400);
    im.setBlockAlign(4);
    const std::uint8_t expected[44] = {
        'R', 'I', 'F', 'F', 0xD4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,
        4, 0, 16, 0, 'd', 'a', 't', 'a', 0xB0, 0, 0, 0};
    auto bytes = im.fileBytes(44);
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(bytes[static_cast<std::size_t>(i)], expected[i]) << "byte " << i + 1;
    EXPECT_EQ(im[0], 0);
}

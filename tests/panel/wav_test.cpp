#include "formats/wav.h"

#include <gtest/gtest.h>

using namespace qelvar::wav;
using Bytes2 = std::array<std::uint8_t, 2>;
using Bytes3 = std::array<std::uint8_t, 3>;

// Codes worked by hand from a = F·s·g/2, negatives stored as round(a + F).
TEST(Encoders, WorkedCodeTable) {
    struct Row {
        double s, g;
        std::uint8_t b8;
        Bytes2 b16;
        Bytes3 b24;
    };
    const Row rows[] = {
        {0.0, 1, 0x7F, {0x00, 0x00}, {0x00, 0x00, 0x00}},
        {0.5, 1, 0xBF, {0x00, 0x40}, {0x00, 0x00, 0x40}},
        {-0.5, 1, 0x3F, {0xFF, 0xBF}, {0xFF, 0xFF, 0xBF}},
        {-1.0 + 1e-12, 0.5, 0x3F, {0xFF, 0xBF}, {0xFF, 0xFF, 0xBF}},
        {0.9999999996, 1, 0xFE, {0xFF, 0x7F}, {0xFF, 0xFF, 0x7F}},
        {-0.9999999996, 1, 0x00, {0x00, 0x80}, {0x00, 0x00, 0x80}},
        {-0.5, 0, 0x7F, {0x00, 0x00}, {0x00, 0x00, 0x00}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(encode8(r.s, r.g), r.b8) << r.s;
        EXPECT_EQ(encode16(r.s, r.g), r.b16) << r.s;
        EXPECT_EQ(encode24(r.s, r.g), r.b24) << r.s;
    }
    EXPECT_EQ(encode16(1.5, 1.0), (Bytes2{0xFF, 0xBF})); // held to 0..65535 first
}

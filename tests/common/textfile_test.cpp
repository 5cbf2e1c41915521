#include "common/textfile.h"

#include <gtest/gtest.h>

using namespace qelvar;

TEST(TextValueReader, SplitsOnCommasAndLineEndsAndDropsQuotes) {
    TextValueReader in("1000\r\n44100,\"ST L+R\"\r\n16\n.5\r-3.25\r\n\"a, b\"\r\n");
    std::int32_t f = 0, r = 0;
    std::string mode, quoted;
    std::int16_t bits = 0;
    double g = 0, h = 0;
    EXPECT_TRUE(in.readInt32(f));
    EXPECT_TRUE(in.readInt32(r));
    EXPECT_TRUE(in.readText(mode));
    EXPECT_TRUE(in.readInt16(bits));
    EXPECT_TRUE(in.readDouble(g));
    EXPECT_TRUE(in.readDouble(h));
    EXPECT_TRUE(in.readText(quoted));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(f, 1000);
    EXPECT_EQ(r, 44100);
    EXPECT_EQ(mode, "ST L+R");
    EXPECT_EQ(bits, 16);
    EXPECT_DOUBLE_EQ(g, 0.5);
    EXPECT_DOUBLE_EQ(h, -3.25);
    EXPECT_EQ(quoted, "a, b");
}

TEST(TextValueReader, UnreadableValuesKeepTheDefaultAndTheReaderGoesOn) {
    TextValueReader in("abc\r\n70000\r\n\x01\xff\r\n7\r\n");
    std::int32_t a = 5;
    std::int16_t b = 6;
    double c = 1.5;
    std::int32_t d = 0;
    EXPECT_FALSE(in.readInt32(a));
    EXPECT_FALSE(in.readInt16(b)); // out of the 16-bit range
    EXPECT_FALSE(in.readDouble(c));
    EXPECT_TRUE(in.readInt32(d));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 6);
    EXPECT_DOUBLE_EQ(c, 1.5);
    EXPECT_EQ(d, 7);
    EXPECT_FALSE(in.readInt32(d)); // past the end
    EXPECT_EQ(d, 7);
}

TEST(TextValueReader, AnUnclosedQuoteEndsAtTheLine) {
    TextValueReader in("\"open\r\n12\r\n");
    std::string s;
    double x = 0;
    EXPECT_TRUE(in.readText(s));
    EXPECT_TRUE(in.readDouble(x));
    EXPECT_EQ(s, "open");
    EXPECT_DOUBLE_EQ(x, 12);
}

TEST(TextValueWriter, OneValueALineWithCrLf) {
    TextValueWriter out;
    out.number(.5);
    out.number(-.25);
    out.integer(600);
    out.text("ST L-R");
    EXPECT_EQ(out.contents(), ".5\r\n-.25\r\n600\r\n\"ST L-R\"\r\n");
}

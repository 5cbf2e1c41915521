#include "formats/textfile.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace qelvar;

TEST(TextValueReader, SplitsOnCommasAndLineEndsAndKeepsDefaultsOfBadValues) {
    TextValueReader in(
        "1000,\"ST L+R\"\n.699841996002273\r\"a, b\"\r\nabc\r\n70000\r\n\"open\r\n7\r\n");
    std::int32_t f = 0, bad = 5;
    std::string mode, quoted, open;
    std::int16_t b16 = 6;
    double g = 0;
    EXPECT_TRUE(in.readInt32(f) && in.readText(mode) && in.readDouble(g) && in.readText(quoted));
    EXPECT_FALSE(in.readInt32(bad));
    EXPECT_FALSE(in.readInt16(b16)); // out of the 16-bit range
    EXPECT_TRUE(in.readText(open));  // an unclosed quote ends at the line
    EXPECT_TRUE(in.readInt32(f));
    EXPECT_TRUE(in.atEnd());
    EXPECT_FALSE(in.readInt32(f));
    EXPECT_EQ(std::tie(f, mode, g, quoted, open, bad, b16),
              std::tuple(7, "ST L+R", .699841996002273, "a, b", "open", 5, 6));
}

// The scratchpad's form: a quoted text over several lines, quotes doubled.
TEST(TextValueReader, SpanningQuotesRunToTheNextLoneQuoteAndReadWhatTheWriterWrote) {
    TextValueWriter out;
    out.spanningText("say \"hi\",\r\nthen go");
    out.integer(7);
    EXPECT_EQ(out.contents(), "\"say \"\"hi\"\",\r\nthen go\"\r\n7\r\n");
    TextValueReader in(out.contents() + " \"open, \r\nto the end",
                       TextValueReader::Quotes::SpanLines);
    std::string pad, open;
    std::int32_t n = 0;
    EXPECT_TRUE(in.readText(pad) && in.readInt32(n) && in.readText(open));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(std::tie(pad, n, open),
              std::tuple("say \"hi\",\r\nthen go", 7, "open, \r\nto the end"));
}

#include "panel/memories.h"

#include <gtest/gtest.h>

using namespace qelvar::panel;

TEST(Memories, NoFileSixLineFileLastLineNineAndDamagedFiles) {
    Memories m;
    EXPECT_FALSE(m.load("/nonexistent/wavoscsetup"));
    const std::string s = m.serialise();
    std::string all;
    for (int i = 1; i <= 14; ++i)
        all += "1000\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n";
    EXPECT_EQ(s, all + "1\r\n");
    const std::string first = "440\r\n48000\r\n\"MONO\"\r\n24\r\n0.5\r\n0.25\r\n";
    Memories six;
    six.parse(first); // memories 2 to 14 keep their defaults
    EXPECT_EQ(six.serialise(), first + s.substr(37));
    Memories nine;
    nine.parse(s.substr(0, s.size() - 3) + "9\r\n");
    EXPECT_EQ(nine.current, 9);
    // A damaged file: each bad value keeps its default.
    Memories damaged;
    std::string junk = "abc\r\n96000\r\n" + std::string(100000, 'x') + "\r\n";
    junk += std::string("\0\xff\x80,,\r\n", 7);
    for (int i = 0; i < 200; ++i)
        junk += "7\r\n";
    damaged.parse(junk);
    EXPECT_EQ(damaged.slot[1].frequency, 1000); // "abc"
    EXPECT_EQ(damaged.slot[1].rate, 96000);
    EXPECT_EQ(damaged.slot[1].mode.size(), 100000u);
    EXPECT_EQ(damaged.slot[1].bits, 16); // binary bytes
    EXPECT_EQ(damaged.slot[2].frequency, 7);
    EXPECT_EQ(damaged.current, 7); // extra lines are ignored
}

#include "panel/memories.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::panel;

TEST(Memories, NoFileSixLineFileAndLastLineNine) {
    Memories m;
    EXPECT_FALSE(m.load("/nonexistent/wavoscsetup"));
    EXPECT_EQ(m.current, 1);
    const std::string s = m.serialise();
    const std::string startValues = "1000\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n";
    std::string all;
    for (int i = 1; i <= 14; ++i)
        all += startValues;
    EXPECT_EQ(s, all + "1\r\n");

    Memories six;
    six.parse("440\r\n48000\r\n\"MONO\"\r\n24\r\n0.5\r\n0.25\r\n");
    EXPECT_EQ(six.slot[1].frequency, 440);
    EXPECT_EQ(six.slot[1].mode, "MONO");
    EXPECT_EQ(six.slot[1].gainR, 0.25);
    const std::string rest = s.substr(37), six2 = six.serialise(); // memories 2 to 14
    EXPECT_EQ(six2.substr(six2.size() - rest.size()), rest);

    Memories nine;
    nine.parse(s.substr(0, s.size() - 3) + "9\r\n");
    EXPECT_EQ(nine.current, 9);
}

TEST(Memories, SaveAndReadBackTo15Digits) {
    TempDir d;
    Memories a;
    for (std::size_t i = 1; i <= 14; ++i) {
        a.slot[i].frequency = 100 * static_cast<int>(i) + 7;
        a.slot[i].mode = i % 3 ? "ST L-R" : "MONO";
        a.slot[i].gainL = std::pow(10.0, -3.1 / 20 * static_cast<double>(i));
        a.slot[i].gainR = 1.0 / static_cast<double>(i + 2);
    }
    a.current = 12;
    const std::string path = (d.path / "wavoscsetup").string();
    ASSERT_TRUE(a.save(path));
    Memories b;
    ASSERT_TRUE(b.load(path));
    EXPECT_EQ(b.current, 12);
    for (std::size_t i = 1; i <= 14; ++i) {
        EXPECT_EQ(a.slot[i].frequency, b.slot[i].frequency);
        EXPECT_EQ(a.slot[i].mode, b.slot[i].mode);
        EXPECT_NEAR(a.slot[i].gainL, b.slot[i].gainL, 1e-14 * a.slot[i].gainL);
        EXPECT_NEAR(a.slot[i].gainR, b.slot[i].gainR, 1e-14 * a.slot[i].gainR);
    }
}

TEST(Memories, DamagedFilesKeepDefaults) {
    Memories m;
    std::string junk = "abc\r\n96000\r\n" + std::string(100000, 'x') + "\r\n";
    junk += std::string("\0\xff\x80,,\r\n", 7);
    for (int i = 0; i < 200; ++i)
        junk += "7\r\n";
    m.parse(junk);
    EXPECT_EQ(m.slot[1].frequency, 1000); // "abc"
    EXPECT_EQ(m.slot[1].rate, 96000);
    EXPECT_EQ(m.slot[1].mode.size(), 100000u);
    EXPECT_EQ(m.slot[1].bits, 16); // binary bytes
    EXPECT_EQ(m.slot[1].gainL, 0.7);
    EXPECT_EQ(m.slot[2].frequency, 7);
    EXPECT_EQ(m.current, 7); // extra lines are ignored
}

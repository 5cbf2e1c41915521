#include "panel/memories.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qelvar::panel;

namespace {
void expectStartValues(const Memory& x) {
    EXPECT_EQ(x.frequency, 1000);
    EXPECT_EQ(x.rate, 44100);
    EXPECT_EQ(x.mode, "ST L+R");
    EXPECT_EQ(x.bits, 16);
    EXPECT_EQ(x.gainL, 0.7);
    EXPECT_EQ(x.gainR, 0.7);
}
} // namespace

TEST(Memories, NoFileSixLineFileAndLastLineNine) {
    Memories m;
    EXPECT_FALSE(m.load("/nonexistent/wavoscsetup"));
    EXPECT_EQ(m.current, 1);
    for (int i = 1; i <= 14; ++i)
        expectStartValues(m.slot[static_cast<std::size_t>(i)]);
    const std::string s = m.serialise();
    EXPECT_EQ(s.substr(0, 37), "1000\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n");
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 85);

    Memories six;
    six.parse("440\r\n48000\r\n\"MONO\"\r\n24\r\n0.5\r\n0.25\r\n");
    EXPECT_EQ(six.slot[1].frequency, 440);
    EXPECT_EQ(six.slot[1].mode, "MONO");
    EXPECT_EQ(six.slot[1].gainR, 0.25);
    expectStartValues(six.slot[2]);
    EXPECT_EQ(six.current, 1);

    Memories nine;
    nine.parse(s.substr(0, s.size() - 3) + "9\r\n");
    EXPECT_EQ(nine.current, 9);
}

TEST(Memories, SaveAndReadBackTo15Digits) {
    TempDir d;
    Memories a;
    for (int i = 1; i <= 14; ++i) {
        Memory& x = a.slot[static_cast<std::size_t>(i)];
        x.frequency = 100 * i + 7;
        x.mode = i % 3 ? "ST L-R" : "MONO";
        x.gainL = std::pow(10.0, -3.1 / 20 * i);
        x.gainR = 1.0 / (i + 2);
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

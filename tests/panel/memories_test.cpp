#include "panel/memories.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace qelvar::panel;

TEST(Memories, StartValuesWithoutAFile) {
    Memories m;
    EXPECT_FALSE(m.load("/nonexistent/wavoscsetup"));
    EXPECT_EQ(m.current, 1);
    for (int i = 1; i <= 14; ++i) {
        const Memory& x = m.slot[static_cast<std::size_t>(i)];
        EXPECT_EQ(x.frequency, 1000);
        EXPECT_EQ(x.rate, 44100);
        EXPECT_EQ(x.mode, "ST L+R");
        EXPECT_EQ(x.bits, 16);
        EXPECT_EQ(x.gainL, 0.7);
        EXPECT_EQ(x.gainR, 0.7);
    }
}

TEST(Memories, FileFromStartValues) {
    Memories m;
    std::string s = m.serialise();
    EXPECT_EQ(s.substr(0, 37), "1000\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n");
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 85);
    EXPECT_EQ(s.substr(s.size() - 3), "1\r\n");
}

TEST(Memories, ShortFilesFillWhatTheyHold) {
    Memories six;
    six.parse("440\r\n48000\r\n\"MONO\"\r\n24\r\n0.5\r\n0.25\r\n");
    EXPECT_EQ(six.slot[1].frequency, 440);
    EXPECT_EQ(six.slot[1].mode, "MONO");
    EXPECT_EQ(six.slot[1].gainR, 0.25);
    EXPECT_EQ(six.slot[2].frequency, 1000);
    EXPECT_EQ(six.current, 1);

    Memories nine;
    std::string s = Memories().serialise();
    s.replace(s.size() - 3, 3, "9\r\n");
    nine.parse(s);
    EXPECT_EQ(nine.current, 9);
}

TEST(Memories, SaveAndReadBack) {
    auto dir = fs::temp_directory_path() / "qelvar-mem-test";
    fs::create_directories(dir);
    Memories a;
    for (int i = 1; i <= 14; ++i) {
        Memory& x = a.slot[static_cast<std::size_t>(i)];
        x.frequency = 100 * i + 7;
        x.rate = i % 2 ? 96000 : 32000;
        x.mode = i % 3 ? "ST L-R" : "MONO";
        x.bits = static_cast<std::int16_t>(i % 2 ? 24 : 8);
        x.gainL = std::pow(10.0, -3.1 / 20 * i);
        x.gainR = 1.0 / (i + 2);
    }
    a.current = 12;
    const std::string path = (dir / "wavoscsetup").string();
    ASSERT_TRUE(a.save(path));
    Memories b;
    ASSERT_TRUE(b.load(path));
    EXPECT_EQ(b.current, 12);
    for (int i = 1; i <= 14; ++i) {
        const Memory& x = a.slot[static_cast<std::size_t>(i)];
        const Memory& y = b.slot[static_cast<std::size_t>(i)];
        EXPECT_EQ(x.frequency, y.frequency);
        EXPECT_EQ(x.rate, y.rate);
        EXPECT_EQ(x.mode, y.mode);
        EXPECT_EQ(x.bits, y.bits);
        EXPECT_NEAR(x.gainL, y.gainL, 1e-14 * x.gainL);
        EXPECT_NEAR(x.gainR, y.gainR, 1e-14 * x.gainR);
    }
    fs::remove_all(dir);
}

TEST(Memories, DamagedFilesKeepDefaults) {
    Memories m;
    std::string junk = "abc\r\n96000\r\n";
    junk += std::string(100000, 'x') + "\r\n";
    junk += std::string("\0\xff\x80,,\r\n", 7);
    for (int i = 0; i < 200; ++i)
        junk += "7\r\n";
    m.parse(junk);
    EXPECT_EQ(m.slot[1].frequency, 1000);       // "abc"
    EXPECT_EQ(m.slot[1].rate, 96000);
    EXPECT_EQ(m.slot[1].mode.size(), 100000u); // read as a text
    EXPECT_EQ(m.slot[1].bits, 16);             // binary bytes
    EXPECT_EQ(m.slot[1].gainL, 0.7);           // empty
    EXPECT_EQ(m.slot[1].gainR, 0.7);           // empty
    EXPECT_EQ(m.slot[2].frequency, 7);
    EXPECT_EQ(m.current, 7);                   // extra lines are ignored
}

TEST(Memories, NormaliseOnlyTouchesZerosAndTheMemoryNumber) {
    Memories m;
    m.current = 20;
    m.normalise();
    EXPECT_EQ(m.current, 1);
    Memory& x = m.cur();
    x.bits = 0;
    x.rate = 0;
    x.frequency = 0;
    x.mode = "";
    x.gainL = 0;
    x.gainR = 0.3;
    m.normalise();
    EXPECT_EQ(x.bits, 16);
    EXPECT_EQ(x.rate, 44100);
    EXPECT_EQ(x.frequency, 1000);
    EXPECT_EQ(x.mode, "ST L+R");
    EXPECT_EQ(x.gainL, 0.7);
    EXPECT_EQ(x.gainR, 0.7);
}

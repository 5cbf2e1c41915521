// Page open, OFF and the set-up file; PASTE TO NOTES; the L/R buttons.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

using Strings = std::vector<std::string>;
const auto lines = crlfLines;

using SetupTest = PageTest;

TEST_F(SetupTest, OffThenOpenRestoresEverything) {
    const Strings typed{"440", "0.5", "12.25", "250", "2.5"};
    std::tie(c().freq[2], c().attL[2], c().attR[2], c().length[2], c().offset) =
        std::tie(typed[0], typed[1], typed[2], typed[3], typed[4]);
    c().include[3] = false;
    page->offsetDb();
    page->fullDuplex();
    page->useCal();
    page->loop();
    std::tie(c().left[1], c().right[1]) = std::tuple("-1.020", " 2.5");
    page->setCal();
    const std::string pad = "first line\r\nhe said \"hi\"\r\n\"quoted\", and more\r\n";
    c().scratchpad = pad;
    ASSERT_TRUE(page->off());
    open();
    EXPECT_EQ(Strings({c().freq[2], c().attL[2], c().attR[2], c().length[2], c().offset}), typed);
    EXPECT_TRUE(c().include[2] && !c().include[3]);
    EXPECT_EQ(c().scratchpad, pad);
    EXPECT_EQ((std::vector{c().lamp(Lamp::Offset), c().lamp(Lamp::FullDuplex),
                           c().lamp(Lamp::UseCal), c().lamp(Lamp::Loop), c().lamp(Lamp::Play)}),
              (std::vector{kLampOn, kLampOn, kLampOn, kLampOn, kLampOff}));
    EXPECT_TRUE(page->fullDuplexOn() && page->useCalOn() && page->offsetOn() && page->loopOn());
    EXPECT_EQ(std::tuple(page->measurement().calL[1], page->measurement().calR[1]),
              std::tuple(1.02, -2.5));
    EXPECT_EQ(page->table().frequency[3], 440);
}

TEST_F(SetupTest, AHandEditedFileOpensWithDefaultsWhereUnreadable) {
    std::string text = "abc\r\n7\r\n\r\n-5\r\n1\r\n";    // step 1
    text += "440.5\r\n";                                 // step 2 frequency (even: 440)
    text += std::string("\x01\x00\xff\xfe", 4) + "\r\n"; // binary junk
    text += "1e999\r\n99\r\n2\r\n";
    writeText(dir / "tessalysetup", text);
    open();
    EXPECT_EQ(Strings({c().freq[0], c().attL[0], c().attR[0], c().length[0]}),
              Strings({"20", "7", "3", "-5"})); // read as a double; a build judges it
    EXPECT_EQ(Strings({c().freq[1], c().attL[1], c().attR[1], c().length[1]}),
              Strings({"440", "3", "3", "99"}));
    EXPECT_TRUE(c().include[0] && c().include[1]); // 2 is no include flag
    // Extra values and an unclosed quote are harmless.
    std::string longer;
    for (int i = 0; i < 200; ++i)
        longer += "1000\r\n";
    writeText(dir / "tessalysetup", longer + "\"never closed");
    open();
    EXPECT_EQ(Strings({c().freq[0], c().attL[0], c().length[0], c().scratchpad}),
              Strings({"1000", "1000", "1000", "1000"}));
}

// OFF's file reads back as it was, unchecked values too; a hand-edited frequency outside
// the boxes' range builds by its arithmetic, or is refused if it cannot make a file.
TEST_F(SetupTest, WhatOffWritesOpensAgainAndBuildsByItsArithmetic) {
    c().attR[4] = "150";
    ASSERT_TRUE(page->off());
    auto l = lines(readText(dir / "tessalysetup"));
    ASSERT_EQ(l.size(), 131u); // 25 steps of five lines, lamps, pad
    open();
    EXPECT_EQ(c().attR[4], "150");
    std::tie(l[0], l[5], l[10]) = std::tuple("2", "30000", "-50"); // steps 1-3's frequencies
    std::string text;
    for (const std::string& line : l)
        text += line + "\r\n";
    writeText(dir / "tessalysetup", text);
    open();
    EXPECT_EQ(Strings({c().freq[0], c().freq[1]}), Strings({"2", "30000"}));
    page->autobuildAll();
    // 2 Hz: 2 cycles of 22050 frames; 30000 Hz: 10 cycles in
    // 4 x floor(roundEven(10 / 30000 x 44100 x 4) / 4) = 56 bytes.
    EXPECT_EQ(u32(readBytes(page->stepFile(1)), 40), 176400u);
    EXPECT_EQ(u32(readBytes(page->stepFile(2)), 40), 56u);
    EXPECT_FALSE(std::filesystem::exists(page->stepFile(3)));
    EXPECT_EQ(c().status, "    Step 3: -50 Hz cannot be built.");
}

TEST_F(SetupTest, PasteToNotesAppendsTwentyOneLines) {
    std::tie(c().scratchpad, c().left[1], c().right[1]) = std::tuple("notes", " 1.08", "-3.01");
    page->pasteToNotes();
    auto l = lines(c().scratchpad);
    ASSERT_EQ(l.size(), 21u);
    EXPECT_EQ(Strings({l[0], l[1], l[2], l[20]}),
              Strings({"notes", "20   1.08  -3.01", "30    ", "20000    "}));
}

// L OFF and R OFF put their channel of every row 99 dB down, L ON and R ON
// at 0 dB; the other channel keeps its own. Rows 1 (20 Hz), 7 (1000 Hz) and
// 20 (20000 Hz) built.
TEST_F(SetupTest, ColumnKeysSetTheirChannelInEveryRow) {
    auto expectRows = [&](const char* keys, double gL, double gR) {
        SCOPED_TRACE(keys);
        page->autobuildAll();
        EXPECT_EQ(slice(stepFile(1)), sineData(17640, 2, gL, gR));
        EXPECT_EQ(slice(stepFile(7)), sineData(352, 2, gL, gR));
        EXPECT_EQ(slice(stepFile(20)), sineData(88, 10, gL, gR));
    };
    const double off = std::pow(10.0, -4.95);
    page->lOff();
    EXPECT_EQ(c().attL[19], "99");
    expectRows("L OFF", off, gainDb(3));
    page->lOn();
    page->rOff();
    EXPECT_EQ(std::tuple(c().attL[0], c().attR[0], c().attR[19]), std::tuple("0", "99", "99"));
    expectRows("L ON, R OFF", 1.0, off);
    page->rOn();
    expectRows("R ON", 1.0, 1.0);
}

TEST_F(SetupTest, ViewGraphWritesEightyLines) {
    ASSERT_TRUE(page->viewGraph());
    auto l = lines(readText(dir / "wavgraphdata"));
    ASSERT_EQ(l.size(), 80u);
    EXPECT_EQ(Strings({l[0], l[2], l[3], l[78]}), Strings({"0", "20", "1", "20000"}));
    c().left[2] = "-0.5";
    c().include[1] = false;
    page->update();
    ASSERT_TRUE(page->viewGraph());
    l = lines(readText(dir / "wavgraphdata"));
    EXPECT_EQ(Strings({l[4], l[7]}), Strings({"-.5", "0"}));
}

} // namespace
} // namespace qelvar::construct::testing

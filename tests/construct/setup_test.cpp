// Page open, OFF and the set-up file; PASTE TO NOTES; the L/R buttons.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    return out;
}

using SetupTest = PageTest;

TEST_F(SetupTest, FirstOpenWithoutFiles) {
    open();
    EXPECT_EQ(c().freq[0], "20");
    EXPECT_EQ(c().attL[0], "3");
    EXPECT_EQ(c().attR[0], "3");
    EXPECT_EQ(c().length[0], "600");
    EXPECT_TRUE(c().include[0]);
    EXPECT_EQ(c().freq[19], "20000");
    // The pulse boxes show the table too, not their initial burst values.
    EXPECT_EQ(c().attL[20], "3");
    EXPECT_EQ(c().length[20], "100");
    EXPECT_EQ(c().scratchpad, "");
    EXPECT_EQ(c().offset, "0");
    for (unsigned lamp : c().lamps)
        EXPECT_EQ(lamp, kLampOff);
    for (int i = 0; i <= 25; ++i)
        EXPECT_EQ(page->measurement().calL[i] + page->measurement().calR[i], 0.0);
    EXPECT_EQ(page->interval(), 0);
    EXPECT_TRUE(snd.calls.empty());
}

TEST_F(SetupTest, OffWritesTheDefaultFileInTheWriteForm) {
    open();
    ASSERT_TRUE(page->off());
    auto l = lines(readText(dir / "tessalysetup"));
    ASSERT_EQ(l.size(), 131u);
    EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 5),
              (std::vector<std::string>{"20", "3", "3", "600", "1"}));
    EXPECT_EQ(l[125], "\"\"");
    EXPECT_EQ(std::vector<std::string>(l.begin() + 126, l.end()),
              (std::vector<std::string>{"0", "0", "0", "0", "0"}));
    EXPECT_EQ(lines(readText(dir / "wavcaldata")).size(), 50u);
}

TEST_F(SetupTest, OffThenOpenRestoresEverything) {
    open();
    c().freq[2] = "440";
    c().attL[2] = "0.5";
    c().attR[2] = "12.25";
    c().length[2] = "250";
    c().include[3] = false;
    c().offset = "2.5";
    page->offsetDb();
    page->fullDuplex();
    page->useCal();
    page->loop();
    c().left[1] = "-1.020";
    c().right[1] = " 2.5";
    page->setCal();
    const std::string pad = "first line\r\nhe said \"hi\"\r\n\"quoted\", and more\r\n";
    c().scratchpad = pad;
    ASSERT_TRUE(page->off());

    open();
    EXPECT_EQ(c().freq[2], "440");
    EXPECT_EQ(c().attL[2], "0.5");
    EXPECT_EQ(c().attR[2], "12.25");
    EXPECT_EQ(c().length[2], "250");
    EXPECT_FALSE(c().include[3]);
    EXPECT_TRUE(c().include[2]);
    EXPECT_EQ(c().offset, "2.5");
    EXPECT_EQ(c().scratchpad, pad);
    for (Lamp l : {Lamp::Offset, Lamp::FullDuplex, Lamp::UseCal, Lamp::Loop})
        EXPECT_EQ(c().lamp(l), kLampOn);
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOff);
    EXPECT_TRUE(page->fullDuplexOn() && page->useCalOn() && page->offsetOn() && page->loopOn());
    EXPECT_DOUBLE_EQ(page->measurement().calL[1], 1.02);
    EXPECT_DOUBLE_EQ(page->measurement().calR[1], -2.5);
    EXPECT_EQ(page->table().frequency[3], 440);
}

TEST_F(SetupTest, AFileWithoutQuotesInTheScratchpadIsUnchangedByTheEscape) {
    open();
    c().scratchpad = "plain\r\nnotes";
    ASSERT_TRUE(page->off());
    auto l = lines(readText(dir / "tessalysetup"));
    ASSERT_EQ(l.size(), 132u);
    EXPECT_EQ(l[125], "\"plain");
    EXPECT_EQ(l[126], "notes\"");
}

TEST_F(SetupTest, AHandEditedFileOpensWithDefaultsWhereUnreadable) {
    std::string text = "abc\r\n7\r\n\r\n-5\r\n1\r\n";    // step 1
    text += "440.5\r\n";                                 // step 2 frequency (even: 440)
    text += std::string("\x01\x00\xff\xfe", 4) + "\r\n"; // binary junk
    text += "1e999\r\n99\r\n2\r\n";
    open();
    writeText(dir / "tessalysetup", text);
    open();
    EXPECT_EQ(c().freq[0], "20");
    EXPECT_EQ(c().attL[0], "7");
    EXPECT_EQ(c().attR[0], "3");
    EXPECT_EQ(c().length[0], "600");
    EXPECT_TRUE(c().include[0]);
    EXPECT_EQ(c().freq[1], "440");
    EXPECT_EQ(c().attL[1], "3");
    EXPECT_EQ(c().attR[1], "3");
    EXPECT_EQ(c().length[1], "99");
    EXPECT_TRUE(c().include[1]); // 2 is no include flag

    // Extra values, an unclosed quote and a huge file do not matter either.
    std::string longer;
    for (int i = 0; i < 200; ++i)
        longer += "1000\r\n";
    longer += "\"never closed";
    writeText(dir / "tessalysetup", longer);
    open();
    EXPECT_EQ(c().freq[0], "1000");
    EXPECT_EQ(c().attL[0], "3"); // 1000 dB is out of range
    EXPECT_EQ(c().length[0], "1000");
    EXPECT_EQ(c().scratchpad, "1000");
}

TEST_F(SetupTest, PasteToNotesAppendsTwentyOneLines) {
    open();
    c().scratchpad = "notes";
    c().left[1] = " 1.08";
    c().right[1] = "-3.01";
    page->pasteToNotes();
    auto l = lines(c().scratchpad);
    ASSERT_EQ(l.size(), 21u);
    EXPECT_EQ(l[0], "notes");
    EXPECT_EQ(l[1], "20   1.08  -3.01");
    EXPECT_EQ(l[2], "30    ");
    EXPECT_EQ(l[20], "20000    ");
}

TEST_F(SetupTest, LeftOffThenAutobuildPutsEveryLeftChannel99DbDown) {
    open();
    page->lOff();
    EXPECT_EQ(c().attL[19], "99");
    EXPECT_EQ(page->table().attL[20], 99);
    page->autobuildAll();
    const double g = std::pow(10.0, -4.95);
    Bytes b = stepFile(7); // 1000 Hz
    EXPECT_EQ(Bytes(b.begin() + 44, b.end()), sineData(352, 2, g, gainDb(3)));
    page->rOn();
    EXPECT_EQ(c().attR[0], "0");
    EXPECT_EQ(page->table().attR[1], 0);
}

TEST_F(SetupTest, ViewGraphWritesEightyLines) {
    open();
    ASSERT_TRUE(page->viewGraph());
    auto l = lines(readText(dir / "wavgraphdata"));
    ASSERT_EQ(l.size(), 80u);
    EXPECT_EQ(l[0], "0");
    EXPECT_EQ(l[2], "20");
    EXPECT_EQ(l[3], "1");
    EXPECT_EQ(l[78], "20000");
    c().left[2] = "-0.5";
    c().include[1] = false;
    page->update();
    ASSERT_TRUE(page->viewGraph());
    l = lines(readText(dir / "wavgraphdata"));
    EXPECT_EQ(l[4], "-.5");
    EXPECT_EQ(l[7], "0");
}

} // namespace
} // namespace qelvar::construct::testing

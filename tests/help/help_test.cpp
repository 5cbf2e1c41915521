#include "help/help_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace qelvar::help;

namespace {

// Splits at CR LF; every line break must be a CR LF pair.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "text must end with CR LF";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n') +
                  std::count(text.begin(), text.end(), '\r'),
              2 * std::ssize(out));
    return out;
}

} // namespace

TEST(HelpText, FixedLines) {
    const auto m = linesOf(mainHelpText());
    ASSERT_GE(m.size(), 71u);
    EXPECT_EQ(m[0].find_first_not_of(' '), 4u);
    const std::pair<int, const char*> mainLines[] = {
        {1, ""},
        {3, "TESSALY:"},
        {6, "That page has it's own separate detailed help file."},
        {10, "PLAY: "},
        {35, "FREQUENCY - 10 TO 20000 Hertz."},
        {46, "Uses winmm.dll driver for Windows 95/98 (not 3.1). "},
        {51, "  BYTES 1-4:  RIFF indicating a valide wav file format"},
        {70, "Stereo 16 bit format goes: (left) LSByte MSByte (right) LSByte MSByte."}};
    for (auto [i, text] : mainLines)
        EXPECT_EQ(m[static_cast<std::size_t>(i)], text) << i;

    const auto p = linesOf(pageHelpText());
    ASSERT_GE(p.size(), 51u);
    EXPECT_EQ(p[0].find_first_not_of(' '), 11u);
    EXPECT_EQ(p[4].substr(p[4].size() - 3), ".  "); // trailing blanks kept
    EXPECT_EQ(p[24], "WAVSELF21.WAV, all in the directory C:\\QELVARFILES\\. All wav files can be "
                     "played on a regular media player if left in loop mode.");
    EXPECT_EQ(p[26], "");
    EXPECT_EQ(p[50], "if you do not want the new plot on top of the last plot on the display.");
}

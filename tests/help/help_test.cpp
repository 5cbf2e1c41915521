#include "help/help_window.h"

#include "ui/registry.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qelvar::help;

namespace {

// Splits at CR LF; a bare CR or LF stays inside its line.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "text must end with CR LF";
    return out;
}

bool hasBareLineBreak(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return true;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return true;
    }
    return false;
}

} // namespace

TEST(HelpText, MainTextLines) {
    const std::string text = mainHelpText();
    EXPECT_FALSE(hasBareLineBreak(text));
    const auto l = linesOf(text);
    ASSERT_GE(l.size(), 71u);
    EXPECT_EQ(l[0].substr(0, 4), "    ");
    EXPECT_NE(l[0][4], ' ');
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2], "");
    EXPECT_EQ(l[3], "TESSALY:");
    EXPECT_EQ(l[6], "That page has it's own separate detailed help file.");
    EXPECT_EQ(l[10], "PLAY: ");
    EXPECT_EQ(l[20], "Brings up this help screen. ");
    EXPECT_EQ(l[28], "BIG KNOB IN MIDDLE:");
    EXPECT_EQ(l[35], "FREQUENCY - 10 TO 20000 Hertz.");
    EXPECT_EQ(l[46], "Uses winmm.dll driver for Windows 95/98 (not 3.1). ");
    EXPECT_EQ(l[49], "WAV  HEADER TECHNICAL DETAILS:");
    EXPECT_EQ(l[51], "  BYTES 1-4:  RIFF indicating a valide wav file format");
    EXPECT_EQ(l[53], " BYTES 9-12: WAVE (more validating)");
    EXPECT_EQ(l[67], "MSB(4) TO LSB(1) ORDER OF 4 BYTES GOES  1-2-3-4 in file datastream");
    EXPECT_EQ(l[70], "Stereo 16 bit format goes: (left) LSByte MSByte (right) LSByte MSByte.");
}

TEST(HelpText, PageTextLines) {
    const std::string text = pageHelpText();
    EXPECT_FALSE(hasBareLineBreak(text));
    const auto l = linesOf(text);
    ASSERT_GE(l.size(), 51u);
    EXPECT_EQ(l[0].substr(0, 11), "           ");
    EXPECT_NE(l[0][11], ' ');
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2].substr(0, 39), "SQUARE WAVE - This uses the frequency 1");
    EXPECT_EQ(l[4].substr(l[4].size() - 3), ".  "); // trailing blanks kept
    EXPECT_EQ(l[13], "");
    EXPECT_EQ(l[24], "WAVSELF21.WAV, all in the directory C:\\QELVARFILES\\. All wav files can be "
                     "played on a regular media player if left in loop mode.");
    EXPECT_EQ(l[25], "");
    EXPECT_EQ(l[26], "");
    EXPECT_EQ(l[27], "Example of building, running and graphing a sweep:");
    EXPECT_EQ(l[50], "if you do not want the new plot on top of the last plot on the display.");
}

TEST(HelpWindows, CaptionsNamesAndText) {
    HelpWindow* main = createMainHelp();
    EXPECT_EQ(main->windowTitle(), "Qelvar HELP");
    EXPECT_EQ(main->objectName(), "Form2");
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(main->text().toStdString(), mainHelpText());
    EXPECT_EQ(qelvar::ui::Registry::instance().window("help"), main);
    EXPECT_EQ(qelvar::ui::Registry::instance().control("help", "Text1"), main->textBox());
    EXPECT_EQ(main->textBox()->palette().color(QPalette::Text), QColor(0, 0, 64));
    main->present();
    EXPECT_TRUE(main->isVisible());

    HelpWindow* page = createPageHelp();
    EXPECT_EQ(page->windowTitle(), "Tessaly Help");
    EXPECT_EQ(page->objectName(), "TessalyHelp");
    EXPECT_EQ(page->text().toStdString(), pageHelpText());
    EXPECT_EQ(qelvar::ui::Registry::instance().control("pagehelp", "Text1"), page->textBox());
    if (qEnvironmentVariableIsSet("QELVAR_HELP_SHOT")) {
        page->present();
        page->grab().save(qEnvironmentVariable("QELVAR_HELP_SHOT"));
    }
    delete main;
    delete page;
    EXPECT_EQ(qelvar::ui::Registry::instance().window("help"), nullptr);
}

#include "help/help_window.h"

#include "common/files.h"
#include "support/contrast.h"
#include "ui/window_fit.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

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
        {46, "Plays and records through the desktop's sound server (PulseAudio or PipeWire). "},
        {51, "  BYTES 1-4:  RIFF indicating a valide wav file format"},
        {70, "Stereo 16 bit format goes: (left) LSByte MSByte (right) LSByte MSByte."}};
    for (auto [i, text] : mainLines)
        EXPECT_EQ(m[static_cast<std::size_t>(i)], text) << i;

    const auto p = linesOf(pageHelpText());
    ASSERT_GE(p.size(), 51u);
    EXPECT_EQ(p[0].find_first_not_of(' '), 11u);
    EXPECT_EQ(p[4].substr(p[4].size() - 3), ".  "); // trailing blanks kept
    EXPECT_EQ(p[24], "WAVSELF21.WAV, all in the directory " + qelvar::dataDir() +
                         "/. All wav files can be played on a regular media player if left in "
                         "loop mode.");
    EXPECT_EQ(p[26], "");
    EXPECT_EQ(p[50], "if you do not want the new plot on top of the last plot on the display.");
}

TEST(HelpText, NamesThisPlatformNotAnother) {
    ::setenv("HOME", "/home/ada", 1);
    for (const std::string& text : {mainHelpText(), pageHelpText()})
        for (const char* other : {"winmm", "Windows", ".dll", "C:\\", "c:\\", "QELVARFILES"})
            EXPECT_EQ(text.find(other), std::string::npos) << other;
    EXPECT_NE(pageHelpText().find(" /home/ada/Qelvarfiles/. "), std::string::npos);
    EXPECT_NE(mainHelpText().find("PulseAudio or PipeWire"), std::string::npos);
}

TEST(HelpWindow, EscapeClosesF1DoesNoHarm) {
    for (auto* make : {&createMainHelp, &createPageHelp}) {
        QPointer<HelpWindow> w = make(nullptr);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        QTest::keyClick(w->textBox(), Qt::Key_F1);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->text().toStdString(),
                  w->objectName() == "Form2" ? mainHelpText() : pageHelpText());
        QTest::keyClick(w->textBox(), Qt::Key_Escape);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull()) << w->objectName().toStdString();
    }
}

TEST(HelpWindow, ReadableUnderADarkDesktop) {
    const QPalette desktop = QApplication::palette();
    qelvar::test::useDarkPalette();
    for (auto* make : {&createMainHelp, &createPageHelp}) {
        std::unique_ptr<HelpWindow> w(make(nullptr));
        w->present();
        for (const auto& t : qelvar::test::textContrasts(w.get()))
            EXPECT_GE(t.ratio, 4.5) << t.widget.toStdString();
        // Round the box (its frame, the scroll bar) nothing clashes with it.
        const QImage shot = w->grab().toImage();
        const QColor box = w->textBox()->viewport()->palette().color(QPalette::Base);
        const QColor bar = shot.pixelColor(shot.width() - 3, shot.height() / 2);
        EXPECT_LT(qelvar::test::contrastRatio(box, bar), 3.0) << w->objectName().toStdString();
    }
    EXPECT_EQ(createMainHelp()->textBox()->palette().color(QPalette::Text), QColor(0, 0, 64));
    QApplication::setPalette(desktop);
}

TEST(HelpWindow, OpensAsBeforeButNeverLargerThanItsScreen) {
    std::unique_ptr<HelpWindow> w(createMainHelp());
    w->present();
    EXPECT_EQ(w->size(), QSize(742, 525)); // the offscreen screen is 800 x 800
    w->hide();
    w->resize(3000, 2000);
    w->present();
    const QSize room = qelvar::ui::roomOnScreen(w.get());
    EXPECT_LE(w->width(), room.width());
    EXPECT_LE(w->height(), room.height());
    // Small enough for a laptop at 150 %: about 900 x 470 logical pixels.
    EXPECT_LE(w->minimumSizeHint().expandedTo(w->minimumSize()).width(), 450);
    EXPECT_LE(w->minimumSizeHint().expandedTo(w->minimumSize()).height(), 300);
}

#include "help/help_window.h"

#include "common/files.h"
#include "support/contrast.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

using namespace qelvar::help;

// The main text itself is checked line by line by tests/e2e/help_main.
TEST(HelpText, NamesThisPlatformNotAnother) {
    ::setenv("HOME", "/home/ada", 1);
    for (const std::string& text : {mainHelpText(), pageHelpText()})
        for (const char* other : {"winmm", "Windows", ".dll", "C:\\", "c:\\", "QELVARFILES"})
            EXPECT_EQ(text.find(other), std::string::npos) << other;
    EXPECT_NE(pageHelpText().find(" /home/ada/Qelvarfiles/. "), std::string::npos);
}

TEST(HelpWindow, ReadableUnderADarkDesktopF1DoesNoHarmEscapeCloses) {
    qelvar::test::DarkDesktop dark;
    for (auto* make : {&createMainHelp, &createPageHelp}) {
        QPointer<HelpWindow> w = make(nullptr);
        SCOPED_TRACE(w->objectName().toStdString());
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->present();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        for (const auto& t : qelvar::test::textContrasts(w))
            EXPECT_GE(t.ratio, 4.5) << t.widget.toStdString();
        // Round the box (its frame, the scroll bar) nothing clashes with it.
        const QImage shot = w->grab().toImage();
        const QColor box = w->textBox()->viewport()->palette().color(QPalette::Base);
        const QColor bar = shot.pixelColor(shot.width() - 3, shot.height() / 2);
        EXPECT_LT(qelvar::test::contrastRatio(box, bar), 3.0);
        QTest::keyClick(w->textBox(), Qt::Key_F1);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->text().toStdString(),
                  w->objectName() == "Form2" ? mainHelpText() : pageHelpText());
        QTest::keyClick(w->textBox(), Qt::Key_Escape);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull());
    }
    EXPECT_EQ(createMainHelp()->textBox()->palette().color(QPalette::Text), QColor(0, 0, 64));
}

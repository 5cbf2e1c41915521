// The two help screens: a window filled by one read-only text box. Escape
// closes one; it may be made as small as a small screen needs (the text
// scrolls).
#pragma once

#include "help/help_text.h"

#include <QWidget>

class QPlainTextEdit;

namespace qelvar::help {

class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    // `windowName` is the script name ("help" or "pagehelp").
    HelpWindow(const QString& windowName, const QString& caption, const std::string& text,
               QWidget* parent = nullptr);

    // The box's text with CR LF line ends.
    QString text() const;
    QPlainTextEdit* textBox() const { return box_; }
    // Shows the window (modeless) or brings it forward when already shown.
    void present();

  protected:
    // Never opens larger than the free area of its screen.
    void showEvent(QShowEvent*) override;

  private:
    QPlainTextEdit* box_;
};

// The main help screen `Form2`, "Qelvar HELP", loaded hidden.
HelpWindow* createMainHelp(QWidget* parent = nullptr);
// The construction page's help screen `TessalyHelp`, "Tessaly Help", its
// text built anew; loaded hidden, the caller shows it.
HelpWindow* createPageHelp(QWidget* parent = nullptr);

} // namespace qelvar::help

// The panel's small widgets: invisible keys over the painted key caps,
// glowing display readouts, the entry boxes and the lamp.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QLineEdit>

namespace qelvar::panel {

// The display's glow colour and its dim shade for the fixed captions.
QColor displayGlow();
QColor displayDim();
QColor displayBackground();
// The display's bold monospaced face at a pixel size.
QFont displayFont(int pixelSize);

// A click area over a painted key; shows nothing but a faint shade while
// pressed, so the painted key seems to give way under the pointer.
class KeyButton : public QAbstractButton {
    Q_OBJECT
  public:
    KeyButton(const QString& name, const QRect& area, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A readout in the display window: text that glows on the dark glass.
class GlowLabel : public QLabel {
    Q_OBJECT
  public:
    GlowLabel(const QString& name, const QRect& area, int pixelSize, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// An entry box dressed like the display.
class DisplayEdit : public QLineEdit {
    Q_OBJECT
  public:
    DisplayEdit(const QString& name, const QRect& area, int pixelSize, QWidget* parent);
};

// One red lamp square.
class LampSquare : public QWidget {
    Q_OBJECT
  public:
    LampSquare(const QString& name, const QPoint& at, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace qelvar::panel

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
// pressed, so the painted key seems to give way under the pointer. Tab
// reaches it; Space, Enter and Return press it, and a ring round the painted
// key (a circle for the knob) shows where the keyboard is. A key clicked
// with the mouse takes focus without the ring.
class KeyButton : public QAbstractButton {
    Q_OBJECT
  public:
    KeyButton(const QString& name, const QRect& area, QWidget* parent);

    // The ring is drawn (the key has focus, reached from the keyboard).
    bool ringShown() const { return ring_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

  private:
    void showRing(bool on);
    bool ring_ = false;
};

// A readout in the display window: text that glows on the dark glass.
class GlowLabel : public QLabel {
    Q_OBJECT
  public:
    GlowLabel(const QString& name, const QRect& area, int pixelSize, QWidget* parent);

    // Shows `text`, and tells a screen reader (the accessible description).
    void setReading(const QString& text);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// An entry box dressed like the display. Return and Enter are
// returnPressed(); Escape is cancelled().
class DisplayEdit : public QLineEdit {
    Q_OBJECT
  public:
    DisplayEdit(const QString& name, const QRect& area, int pixelSize, QWidget* parent);

  signals:
    void cancelled();

  protected:
    void keyPressEvent(QKeyEvent*) override;
};

// One red lamp square.
class LampSquare : public QWidget {
    Q_OBJECT
  public:
    LampSquare(const QString& name, const QPoint& at, QWidget* parent);

    // Lit or dark; the square is shown only while lit, and tells a screen
    // reader "on" or "off".
    void setLit(bool lit);

  protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace qelvar::panel

#include "panel/panel_controls.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace qelvar::panel {

QColor displayGlow() {
    return QColor(120, 255, 200);
}
QColor displayDim() {
    return QColor(52, 150, 118);
}
QColor displayBackground() {
    return QColor(8, 14, 12);
}

QFont displayFont(int pixelSize) {
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

KeyButton::KeyButton(const QString& name, const QRect& area, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(name);
    setGeometry(area);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void KeyButton::paintEvent(QPaintEvent*) {
    const bool ring = ring_ && hasFocus();
    if (!isDown() && !ring)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The knob's area is square; the keys are wider than high.
    const bool knob = width() == height();
    const QRectF cap = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (isDown() && !knob) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 46));
        p.drawRoundedRect(cap, 4, 4);
    }
    if (!ring)
        return;
    // A blue ring laid in the dark well round the cap (round the knob's
    // skirt), with a pale line inside it so it reads on the light metal.
    const QColor blue(24, 110, 225);
    p.setBrush(Qt::NoBrush);
    if (knob) {
        const QPointF c = QRectF(rect()).center();
        p.setPen(QPen(blue, 2.5));
        p.drawEllipse(c, 57.5, 57.5);
        p.setPen(QPen(QColor(255, 255, 255, 150), 1));
        p.drawEllipse(c, 55.6, 55.6);
        return;
    }
    p.setPen(QPen(blue, 2.5));
    p.drawRoundedRect(QRectF(rect()).adjusted(1.25, 1.25, -1.25, -1.25), 5, 5);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    p.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 3, 3);
}

void KeyButton::showRing(bool on) {
    if (ring_ != on) {
        ring_ = on;
        update();
    }
}

void KeyButton::keyPressEvent(QKeyEvent* e) {
    showRing(true);
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void KeyButton::mousePressEvent(QMouseEvent* e) {
    showRing(false);
    QAbstractButton::mousePressEvent(e);
}

void KeyButton::focusInEvent(QFocusEvent* e) {
    // Coming back to the window keeps the key's ring as it was.
    if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        showRing(e->reason() != Qt::MouseFocusReason);
    QAbstractButton::focusInEvent(e);
}

void KeyButton::focusOutEvent(QFocusEvent* e) {
    update();
    QAbstractButton::focusOutEvent(e);
}

GlowLabel::GlowLabel(const QString& name, const QRect& area, int pixelSize, QWidget* parent)
    : QLabel(parent) {
    setObjectName(name);
    setGeometry(area);
    setFont(displayFont(pixelSize));
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GlowLabel::setReading(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    setAccessibleDescription(text);
}

void GlowLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF fm(font());
    const QString t = text();
    const QPointF base((width() - fm.horizontalAdvance(t)) / 2.0,
                       (height() + fm.ascent() - fm.descent()) / 2.0);
    QPainterPath path;
    path.addText(base, font(), t);
    // A soft halo: the outline stroked wide and faint, then narrower, then
    // the bright figures, like phosphor behind glass.
    QColor halo = displayGlow();
    for (const auto& [width, alpha] :
         {std::pair{5.0, 22}, std::pair{3.0, 34}, std::pair{1.6, 60}}) {
        halo.setAlpha(alpha);
        p.strokePath(path, QPen(halo, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    p.fillPath(path, displayGlow());
}

DisplayEdit::DisplayEdit(const QString& name, const QRect& area, int pixelSize, QWidget* parent)
    : QLineEdit(parent) {
    setObjectName(name);
    setGeometry(area);
    setFont(displayFont(pixelSize));
    setAlignment(Qt::AlignCenter);
    setFrame(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(14, 30, 25));
    pal.setColor(QPalette::Text, displayGlow());
    pal.setColor(QPalette::Highlight, displayDim());
    pal.setColor(QPalette::HighlightedText, displayBackground());
    setPalette(pal);
    setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid rgb(52,150,118); "
                                 "border-radius: 2px; background: rgb(14,30,25); }"));
    hide();
}

void DisplayEdit::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

LampSquare::LampSquare(const QString& name, const QPoint& at, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setGeometry(QRect(at, QSize(9, 9)));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleDescription(QStringLiteral("off"));
    hide();
}

void LampSquare::setLit(bool lit) {
    setVisible(lit);
    setAccessibleDescription(lit ? QStringLiteral("on") : QStringLiteral("off"));
}

void LampSquare::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(3.5, 3.0), 6.0);
    g.setColorAt(0.0, QColor(255, 220, 200));
    g.setColorAt(0.35, QColor(255, 40, 30));
    g.setColorAt(1.0, QColor(150, 0, 0));
    p.setPen(QPen(QColor(70, 0, 0), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 8, 8), 1.5, 1.5);
}

} // namespace qelvar::panel

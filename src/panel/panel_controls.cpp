#include "panel/panel_controls.h"

#include <QFontMetricsF>
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
    setFocusPolicy(Qt::NoFocus);
}

void KeyButton::paintEvent(QPaintEvent*) {
    if (!isDown())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 46));
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

GlowLabel::GlowLabel(const QString& name, const QRect& area, int pixelSize, QWidget* parent)
    : QLabel(parent) {
    setObjectName(name);
    setGeometry(area);
    setFont(displayFont(pixelSize));
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
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

LampSquare::LampSquare(const QString& name, const QPoint& at, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setGeometry(QRect(at, QSize(9, 9)));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
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

#include "construct/indicator_box.h"
#include "ui/platform_colour.h"

#include <QPainter>

namespace qelvar::construct {

IndicatorBox::IndicatorBox(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setColour(colour_);
}

void IndicatorBox::setColour(unsigned bbggrr) {
    colour_ = bbggrr;
    ui::setPlatformColour(this, bbggrr);
    // Painted as a rounded square, not filled edge to edge.
    setAutoFillBackground(false);
    update();
}

QSize IndicatorBox::sizeHint() const {
    const int side = fontMetrics().height();
    return {side, side};
}

void IndicatorBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const QColor fill = ui::fromPlatformColour(colour_);
    p.setPen(QPen(fill.darker(170), 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
    // A faint highlight so a lit box reads as a lamp.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(r.left() + 3, r.top() + 2), QPointF(r.right() - 3, r.top() + 2));
}

} // namespace qelvar::construct

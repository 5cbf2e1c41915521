#include "ui/focus_ring.h"

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

namespace qelvar::ui {

namespace {

void drawRing(QPainter* p, const QRect& r) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(FocusRingStyle::ringColour(), 2));
    p->setBrush(Qt::NoBrush);
    p->drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), 3, 3);
    p->restore();
}

} // namespace

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element == PE_FrameFocusRect) {
        drawRing(painter, option->rect);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    // A text box shows its focus by its frame; the ring goes over it.
    if (element == PE_FrameLineEdit && (option->state & State_HasFocus) && widget &&
        widget->hasFocus())
        drawRing(painter, option->rect);
}

void FocusRingStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    // Round the whole key, not only its caption.
    if (element == CE_PushButton && (option->state & State_HasFocus) &&
        (option->state & State_KeyboardFocusChange))
        drawRing(painter, option->rect);
}

} // namespace qelvar::ui

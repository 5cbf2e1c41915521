// The keyboard focus drawn as clearly as the panel's own: a 2-pixel blue
// ring round the control that has it (buttons, check boxes, boxes), where
// the desktop's style draws a faint dotted line or nothing.
#pragma once

#include <QProxyStyle>

namespace qelvar::ui {

class FocusRingStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    // The panel's ring colour.
    static QColor ringColour() { return {24, 110, 225}; }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

} // namespace qelvar::ui

#include "ui/platform_colour.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace qelvar::ui {

QColor fromPlatformColour(unsigned c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void setPlatformColour(QWidget* box, unsigned bbggrr) {
    box->setProperty(kColourProperty, int(bbggrr));
    QPalette p = box->palette();
    p.setColor(QPalette::Base, fromPlatformColour(bbggrr));
    p.setColor(QPalette::Window, fromPlatformColour(bbggrr));
    box->setPalette(p);
    box->setAutoFillBackground(true);
    box->update();
}

} // namespace qelvar::ui

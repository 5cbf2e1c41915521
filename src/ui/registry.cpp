#include "ui/registry.h"

namespace qelvar::ui {

Registry& Registry::instance() {
    static Registry r;
    return r;
}

void Registry::addWindow(const QString& window, QWidget* widget) {
    windows_[window] = widget;
}

void Registry::addControl(const QString& window, const QString& name, QObject* control) {
    if (control && control->objectName().isEmpty())
        control->setObjectName(name);
    controls_[window][name] = control;
}

QWidget* Registry::window(const QString& window) const {
    return windows_.value(window);
}

QObject* Registry::control(const QString& window, const QString& name) const {
    // A control belongs to a window that still exists.
    if (!windows_.value(window))
        return nullptr;
    return controls_.value(window).value(name);
}

QStringList Registry::controlNames(const QString& window) const {
    return controls_.value(window).keys();
}

} // namespace qelvar::ui

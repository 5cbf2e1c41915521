// Names for windows and controls, so script mode (and the end-to-end
// tests) can drive the real windows. A window registers itself and each of
// its controls once, when it is built; entries disappear with their objects.
#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace qelvar::ui {

class Registry {
  public:
    static Registry& instance();

    // Window names: "panel", "page", "graph", "help", "pagehelp".
    void addWindow(const QString& window, QWidget* widget);
    // Control names as in the automation contract, array elements as
    // "Freq(3)". Buttons, check boxes, line edits, plain text edits, labels,
    // QActions (menu items) and indicator boxes are understood.
    void addControl(const QString& window, const QString& name, QObject* control);

    QWidget* window(const QString& window) const;
    QObject* control(const QString& window, const QString& name) const;
    QStringList controlNames(const QString& window) const;

  private:
    QMap<QString, QPointer<QWidget>> windows_;
    QMap<QString, QMap<QString, QPointer<QObject>>> controls_;
};

} // namespace qelvar::ui

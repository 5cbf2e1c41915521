#include "ui/registry.h"

#include <QFileDialog>
#include <QQueue>

namespace qelvar::ui {

Registry& Registry::instance() {
    static Registry r;
    return r;
}

void Registry::addWindow(const QString& window, QWidget* widget) { windows_[window] = widget; }

void Registry::addControl(const QString& window, const QString& name, QObject* control) {
    if (control && control->objectName().isEmpty())
        control->setObjectName(name);
    controls_[window][name] = control;
}

QWidget* Registry::window(const QString& window) const { return windows_.value(window); }

QObject* Registry::control(const QString& window, const QString& name) const {
    // A control belongs to a window that still exists.
    if (!windows_.value(window))
        return nullptr;
    return controls_.value(window).value(name);
}

QStringList Registry::controlNames(const QString& window) const {
    return controls_.value(window).keys();
}

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

namespace {
QQueue<QString>& answers() {
    static QQueue<QString> q;
    return q;
}
} // namespace

void queueDialogAnswer(const QString& answer) { answers().enqueue(answer); }

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter) {
    if (!answers().isEmpty())
        return answers().dequeue();
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter) {
    if (!answers().isEmpty())
        return answers().dequeue();
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString toCrLf(const QString& text) {
    QString t = text;
    t.replace(QChar(0x2029), QChar('\n'));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    t.replace(QChar('\n'), QStringLiteral("\r\n"));
    return t;
}

QString fromCrLf(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

} // namespace qelvar::ui

#include "app/script.h"

#include "ui/file_dialogs.h"
#include "ui/platform_colour.h"
#include "ui/registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace qelvar::app {
namespace {

const QStringList kWindows = {"panel", "page", "graph", "help", "pagehelp"};

void out(const QString& line) {
    std::fputs((line + "\n").toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// "W.NAME" → window and control name.
bool splitTarget(const QString& target, QString& window, QString& name) {
    int dot = target.indexOf('.');
    if (dot <= 0 || dot == target.size() - 1)
        return false;
    window = target.left(dot);
    name = target.mid(dot + 1);
    return true;
}

QObject* findControl(const QString& target, QString& reason) {
    QString window, name;
    if (!splitTarget(target, window, name)) {
        reason = "bad control name '" + target + "'";
        return nullptr;
    }
    auto& reg = ui::Registry::instance();
    if (!reg.window(window)) {
        reason = kWindows.contains(window) ? "window '" + window + "' is not open"
                                           : "unknown window '" + window + "'";
        return nullptr;
    }
    QObject* c = reg.control(window, name);
    if (!c)
        reason = "unknown control '" + target + "'";
    return c;
}

bool valueOf(QObject* c, QString& value) {
    if (auto* e = qobject_cast<QLineEdit*>(c))
        value = e->text();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(c))
        value = p->toPlainText();
    else if (auto* t = qobject_cast<QTextEdit*>(c))
        value = t->toPlainText();
    else if (auto* l = qobject_cast<QLabel*>(c))
        value = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(c))
        value = b->isCheckable() ? (b->isChecked() ? "1" : "0") : b->text();
    else if (auto* a = qobject_cast<QAction*>(c))
        value = a->isChecked() ? "1" : "0";
    else if (auto* box = qobject_cast<QComboBox*>(c))
        value = box->currentText();
    else if (auto* spin = qobject_cast<QSpinBox*>(c))
        value = QString::number(spin->value());
    else if (c->property("text").isValid())
        value = c->property("text").toString();
    else
        return false;
    return true;
}

bool typeInto(QObject* c, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(c)) {
        // Edit as a user would, so textEdited and textChanged both fire.
        e->selectAll();
        if (text.isEmpty())
            e->backspace();
        else
            e->insert(text);
        if (e->text() != text) // a validator or length limit refused it
            e->setText(text);
        return true;
    }
    if (auto* p = qobject_cast<QPlainTextEdit*>(c)) {
        p->setPlainText(text);
        return true;
    }
    if (auto* t = qobject_cast<QTextEdit*>(c)) {
        t->setPlainText(text);
        return true;
    }
    // A list takes one of its items by its text, a number box a number.
    if (auto* box = qobject_cast<QComboBox*>(c)) {
        const int k = box->findText(text);
        if (k >= 0)
            box->setCurrentIndex(k);
        return k >= 0;
    }
    if (auto* spin = qobject_cast<QSpinBox*>(c)) {
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && v >= spin->minimum() && v <= spin->maximum())
            spin->setValue(v);
        return ok && v >= spin->minimum() && v <= spin->maximum();
    }
    return false;
}

} // namespace

ScriptRunner::ScriptRunner(QStringList lines, QObject* parent)
    : QObject(parent), lines_(std::move(lines)) {}

bool ScriptRunner::readScript(const QString& path, QStringList& lines) {
    QFile f;
    bool ok = path == "-" ? f.open(stdin, QIODevice::ReadOnly)
                          : (f.setFileName(path), f.open(QIODevice::ReadOnly));
    if (!ok)
        return false;
    QString all = QString::fromUtf8(f.readAll());
    all.replace("\r\n", "\n");
    lines = all.split('\n');
    return true;
}

void ScriptRunner::start() {
    QTimer::singleShot(0, this, &ScriptRunner::next);
}

void ScriptRunner::fail(const QString& reason) {
    std::fflush(stdout);
    std::fputs(QString("script line %1: %2\n").arg(index_).arg(reason).toUtf8().constData(),
               stderr);
    std::fflush(stderr);
    std::_Exit(2);
}

void ScriptRunner::next() {
    while (index_ < lines_.size()) {
        QString line = lines_[index_++];
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#'))
            continue;
        QString reason;
        int delay = 0;
        if (!run(line, reason, delay))
            fail(reason);
        // Let the events of this command settle before the next one.
        QTimer::singleShot(delay, this, &ScriptRunner::next);
        return;
    }
}

bool ScriptRunner::run(const QString& rawLine, QString& reason, int& delayMs) {
    QString line = rawLine;
    while (line.endsWith('\r'))
        line.chop(1);
    int sp = line.indexOf(' ');
    const QString cmd = sp < 0 ? line.trimmed() : line.left(sp);
    const QString rest = sp < 0 ? QString() : line.mid(sp + 1);
    // The argument up to the next blank, and what follows that one blank.
    int sp2 = rest.indexOf(' ');
    const QString arg = sp2 < 0 ? rest.trimmed() : rest.left(sp2);
    const QString tail = sp2 < 0 ? QString() : rest.mid(sp2 + 1);

    if (cmd == "quit") {
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (cmd == "wait") {
        bool ok = false;
        delayMs = arg.toInt(&ok);
        if (!ok || delayMs < 0) {
            reason = "bad wait time '" + arg + "'";
            return false;
        }
        return true;
    }
    if (cmd == "dialog") {
        if (rest.isEmpty()) {
            reason = "dialog needs a path or cancel";
            return false;
        }
        ui::queueDialogAnswer(rest == "cancel" ? QString() : rest);
        return true;
    }
    if (cmd == "shot") {
        QWidget* w = ui::Registry::instance().window(arg);
        if (!w) {
            reason = "window '" + arg + "' is not open";
            return false;
        }
        if (tail.isEmpty() || !w->grab().save(tail, "PNG")) {
            reason = "cannot save '" + tail + "'";
            return false;
        }
        return true;
    }
    if (cmd == "shown") {
        if (!arg.contains('.')) {
            if (!kWindows.contains(arg)) {
                reason = "unknown window '" + arg + "'";
                return false;
            }
            QWidget* w = ui::Registry::instance().window(arg);
            out(arg + "=" + (w && w->isVisible() ? "1" : "0"));
            return true;
        }
        QObject* c = findControl(arg, reason);
        if (!c)
            return false;
        bool visible = false;
        if (auto* w = qobject_cast<QWidget*>(c))
            visible = w->isVisible();
        else if (auto* a = qobject_cast<QAction*>(c))
            visible = a->isVisible();
        out(arg + "=" + (visible ? "1" : "0"));
        return true;
    }
    if (cmd == "click" || cmd == "type" || cmd == "print" || cmd == "colour") {
        QObject* c = findControl(arg, reason);
        if (!c)
            return false;
        if (cmd == "click") {
            if (auto* b = qobject_cast<QAbstractButton*>(c))
                b->click();
            else if (auto* a = qobject_cast<QAction*>(c))
                a->trigger();
            else {
                reason = "'" + arg + "' cannot be clicked";
                return false;
            }
            return true;
        }
        if (cmd == "type") {
            if (!typeInto(c, tail)) {
                reason = "'" + arg + "' is not a text box";
                return false;
            }
            return true;
        }
        if (cmd == "print") {
            QString value;
            if (!valueOf(c, value)) {
                reason = "'" + arg + "' has no text";
                return false;
            }
            out(arg + "=" + value);
            return true;
        }
        QVariant colour = c->property(ui::kColourProperty);
        if (!colour.isValid()) {
            reason = "'" + arg + "' is not an indicator box";
            return false;
        }
        out(arg + "=0x" +
            QString::number(colour.toUInt() & 0xFFFFFF, 16).toUpper().rightJustified(6, '0'));
        return true;
    }
    reason = "unknown command '" + cmd + "'";
    return false;
}

} // namespace qelvar::app

#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QQueue>

namespace qelvar::ui {

namespace {
QQueue<QString>& answers() {
    static QQueue<QString> q;
    return q;
}
} // namespace

void queueDialogAnswer(const QString& answer) {
    answers().enqueue(answer);
}

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

} // namespace qelvar::ui

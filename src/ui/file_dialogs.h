// File dialogs go through these, so a script (and a test) can answer them.
#pragma once

#include <QString>

class QWidget;

namespace qelvar::ui {

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
// Queues the next dialog's answer: a path, or an empty string for cancel.
void queueDialogAnswer(const QString& answer);

} // namespace qelvar::ui

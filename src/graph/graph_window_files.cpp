// File Load and Save: one file dialog that remembers the file chosen last.
#include "graph/graph_window.h"
#include "ui/file_dialogs.h"
#include "ui/line_ends.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <cerrno>
#include <cstring>

namespace qelvar::graph {

namespace {

// What a platform dialog would refuse: Load wants an existing readable
// file, Save a file name in an existing folder. 0 when the name is fine.
int refusal(const QString& path, bool save) {
    const QFileInfo fi(path);
    if (fi.isDir())
        return EISDIR;
    if (save)
        return fi.absoluteDir().exists() ? 0 : ENOENT;
    if (!fi.exists())
        return ENOENT;
    return fi.isReadable() ? 0 : EACCES;
}

// A sweep saved under a bare name gets the sweep files' extension, so the
// Load dialog's "*.kzq" lists it; a name with an extension is kept.
QString withSweepExtension(const QString& path) {
    const QFileInfo fi(path);
    if (fi.fileName().isEmpty() || !fi.suffix().isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + QStringLiteral("kzq")
                                           : path + QStringLiteral(".kzq");
}

} // namespace

QString GraphWindow::askFile(bool save) {
    // The first dialog starts on the pattern "*.kzq" in the data
    // directory; later ones on the file chosen last, all files listed.
    const QFileInfo last(QString::fromStdString(model_.dialogFile));
    QString start = last.filePath();
    QString filter;
    if (last.fileName().contains(QLatin1Char('*'))) {
        start = last.path();
        filter = last.fileName() + QStringLiteral(";;*");
    }
    QString chosen = save ? ui::getSaveFileName(this, QStringLiteral("Save"), start, filter)
                          : ui::getOpenFileName(this, QStringLiteral("Load"), start, filter);
    if (save && !chosen.isEmpty())
        chosen = withSweepExtension(chosen);
    if (chosen.isEmpty())
        return {}; // cancel: no message, no change
    if (int err = refusal(chosen, save)) {
        // Nothing is read or written after a failed dialog: going on with
        // the file chosen before would overwrite it with this sweep.
        showDialogError(err);
        return {};
    }
    model_.dialogFile = chosen.toStdString();
    return chosen;
}

void GraphWindow::showDialogError(int number) {
    const QString text = QString::fromStdString(dialogErrorText(number, std::strerror(number)));
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QStringLiteral("qelvar");
    // Shown without blocking the event loop, so a script driving the
    // window goes on; the box is window-modal for a person at the mouse.
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, title, ui::fromCrLf(text), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("dlgfileError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    setStatus(ui::fromCrLf(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

void GraphWindow::mnuFileOpen() {
    const QString f = askFile(false);
    if (f.isEmpty())
        return;
    model_.LoadFile1(f.toStdString());
    sync();
    setStatus(QString());
}

void GraphWindow::mnuSave() {
    const QString f = askFile(true);
    if (f.isEmpty())
        return;
    if (model_.SaveFile1(f.toStdString()))
        setStatus(QStringLiteral("Saved %1").arg(QFileInfo(f).fileName()));
    else
        setStatus(QStringLiteral("Could not write %1").arg(f));
}

void GraphWindow::mnuExportCsv() {
    const QString start = QDir(QString::fromStdString(model_.folder)).filePath("sweep.csv");
    QString f =
        ui::getSaveFileName(this, QStringLiteral("Export CSV"), start, QStringLiteral("*.csv;;*"));
    if (f.isEmpty())
        return;
    if (QFileInfo(f).suffix().isEmpty())
        f += QStringLiteral(".csv");
    if (int err = refusal(f, true)) {
        showDialogError(err);
        return;
    }
    if (replaceFile(f.toStdString(), model_.csvText(), true))
        setStatus(QStringLiteral("Exported %1").arg(QFileInfo(f).fileName()));
    else
        setStatus(QStringLiteral("Could not write %1").arg(f));
}

} // namespace qelvar::graph

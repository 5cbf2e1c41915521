// The Analysis menu: THD+N against frequency from the page's takes, and the
// sound-card test run, which writes its report into a folder chosen here.
#include "audio/sound.h"
#include "graph/graph_window.h"
#include "report/report_files.h"
#include "ui/file_dialogs.h"

#include <QAction>
#include <QDir>

namespace qelvar::graph {

void GraphWindow::mnuThdN(bool on) {
    model_.plotThdN(on);
    sync();
    int read = 0;
    for (bool r : model_.thdnRead)
        read += r ? 1 : 0;
    if (!on)
        setStatus(QString());
    else if (read == 0)
        setStatus(QStringLiteral("No takes to read THD+N from: measure the sweep on the page"));
    else
        setStatus(QStringLiteral("THD+N of %1 steps (0 to -120 dB)").arg(read));
}

void GraphWindow::mnuReport() {
    if (run_)
        return; // one run at a time
    if (audio::services().soundPlaying()) {
        // The run would replace the sound, and spoil a sweep's takes.
        setStatus(
            QStringLiteral("Stop the sound first: the test needs the sound device to itself"));
        return;
    }
    const QString start = QDir(QString::fromStdString(model_.folder)).filePath("report");
    const QString dir =
        ui::getSaveFileName(this, QStringLiteral("Folder for the report"), start, QString());
    if (dir.isEmpty())
        return;
    reportDir_ = dir;
    run_ = new report::ReportRun(audio::services(), model_.folder, this);
    connect(run_, &report::ReportRun::progress, this, &GraphWindow::setStatus);
    connect(run_, &report::ReportRun::finished, this, [this] {
        const report::Report r = run_->report();
        run_->deleteLater();
        run_ = nullptr;
        std::string error;
        if (!report::writeReport(r, reportDir_.toStdString(), error))
            setStatus(QStringLiteral("Could not write %1").arg(QString::fromStdString(error)));
        else if (!r.failure.empty())
            setStatus(QStringLiteral("No figures: %1").arg(QString::fromStdString(r.failure)));
        else
            setStatus(QStringLiteral("Report written to %1").arg(reportDir_));
    });
    action(QStringLiteral("mnuReport"))->setEnabled(false);
    connect(run_, &QObject::destroyed, this,
            [this] { action(QStringLiteral("mnuReport"))->setEnabled(true); });
    run_->start();
}

} // namespace qelvar::graph

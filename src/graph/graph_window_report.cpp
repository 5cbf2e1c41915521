// The Analysis menu: THD+N against frequency from the page's takes, and the
// sound-card test run, which writes its report into a folder chosen here.
#include "audio/sound.h"
#include "graph/graph_window.h"
#include "report/report_files.h"
#include "ui/file_dialogs.h"
#include "ui/registry.h"

#include <QAction>
#include <QDir>
#include <QKeySequence>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

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

GraphWindow::~GraphWindow() {
    // Before the window's parts go: the run's signals reach into them.
    if (run_) {
        run_->disconnect(this);
        delete run_;
        run_ = nullptr;
    }
}

// A progress bar with the time left and a Cancel key, at the right of the
// status line, shown only while a test run goes on.
void GraphWindow::buildRunControls() {
    runBar_ = new QProgressBar(this);
    runBar_->setObjectName(QStringLiteral("RunProgress"));
    runBar_->setAccessibleName(QStringLiteral("Test run progress"));
    runBar_->setRange(0, 100);
    runBar_->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 22);
    runCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    runCancel_->setObjectName(QStringLiteral("RunCancel"));
    runCancel_->setToolTip(QStringLiteral("Stop the test run; no report is written (Esc)"));
    runCancel_->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(runCancel_, &QPushButton::clicked, this, &GraphWindow::cancelReport);
    statusBar()->addPermanentWidget(runBar_);
    statusBar()->addPermanentWidget(runCancel_);
    runBar_->hide();
    runCancel_->hide();
    auto& reg = ui::Registry::instance();
    reg.addControl(QStringLiteral("graph"), QStringLiteral("RunProgress"), runBar_);
    reg.addControl(QStringLiteral("graph"), QStringLiteral("RunCancel"), runCancel_);
}

void GraphWindow::showRunProgress(int percent, int secondsLeft) {
    runBar_->setValue(percent);
    runBar_->setFormat(secondsLeft < 0 ? QStringLiteral("%p%")
                                       : QStringLiteral("%1 s left").arg(secondsLeft));
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
    connect(run_, &report::ReportRun::advanced, this, &GraphWindow::showRunProgress);
    connect(run_, &report::ReportRun::finished, this, &GraphWindow::reportEnded);
    action(QStringLiteral("mnuReport"))->setEnabled(false);
    showRunProgress(0, -1);
    runBar_->show();
    runCancel_->show();
    run_->start();
}

void GraphWindow::cancelReport() {
    if (run_)
        run_->cancel(); // finished() follows at once
}

void GraphWindow::reportEnded() {
    runBar_->hide();
    runCancel_->hide();
    action(QStringLiteral("mnuReport"))->setEnabled(true);
    const report::Report r = run_->report();
    const bool cancelled = run_->cancelled();
    run_->deleteLater();
    run_ = nullptr;
    std::string error;
    if (cancelled)
        setStatus(QStringLiteral("Test run cancelled: no report written"));
    else if (!report::writeReport(r, reportDir_.toStdString(), error))
        setStatus(QStringLiteral("Could not write %1").arg(QString::fromStdString(error)));
    else if (!r.failure.empty())
        setStatus(QStringLiteral("No figures: %1").arg(QString::fromStdString(r.failure)));
    else
        setStatus(QStringLiteral("Report written to %1").arg(reportDir_));
}

} // namespace qelvar::graph

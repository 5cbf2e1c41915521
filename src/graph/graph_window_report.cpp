// The Analysis menu: THD+N against frequency from the page's takes, the
// sound-card test run, which writes its report into a folder chosen here,
// and the set-up check, which shows what it found.
#include "audio/sound.h"
#include "graph/graph_window.h"
#include "report/report_files.h"
#include "report/test_signal.h"
#include "ui/file_dialogs.h"
#include "ui/registry.h"

#include <QAction>
#include <QDir>
#include <QKeySequence>
#include <QMessageBox>
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

namespace {

bool deviceBusy() {
    return audio::services().soundPlaying();
}

const QString kDeviceBusy =
    QStringLiteral("Stop the sound first: the test needs the sound device to itself");

} // namespace

void GraphWindow::mnuReport() {
    if (run_)
        return; // one run at a time
    if (deviceBusy()) {
        // The run would replace the sound, and spoil a sweep's takes.
        setStatus(kDeviceBusy);
        return;
    }
    const QString start = QDir(QString::fromStdString(model_.folder)).filePath("report");
    const QString dir =
        ui::getSaveFileName(this, QStringLiteral("Folder for the report"), start, QString());
    if (dir.isEmpty())
        return;
    reportDir_ = dir;
    startRun(false);
}

void GraphWindow::mnuCheckSetup() {
    if (run_)
        return;
    if (deviceBusy()) {
        setStatus(kDeviceBusy);
        return;
    }
    startRun(true);
}

void GraphWindow::startRun(bool check) {
    checking_ = check;
    run_ = new report::ReportRun(audio::services(), model_.folder, this);
    if (check)
        run_->setSignal(report::makeCheckSignal());
    connect(run_, &report::ReportRun::progress, this, &GraphWindow::setStatus);
    connect(run_, &report::ReportRun::advanced, this, &GraphWindow::showRunProgress);
    connect(run_, &report::ReportRun::finished, this, &GraphWindow::reportEnded);
    action(QStringLiteral("mnuReport"))->setEnabled(false);
    action(QStringLiteral("mnuCheckSetup"))->setEnabled(false);
    showRunProgress(0, -1);
    runBar_->show();
    runCancel_->show();
    run_->start();
}

// One line a finding or note, findings first, in a window that stays
// beside the graph while the user puts the set-up right.
void GraphWindow::showSetup(const report::Report& r) {
    int found = 0;
    QString text;
    for (const auto& n : r.setup) {
        found += n.finding ? 1 : 0;
        QString line = QString::fromStdString(n.text);
        if (!line.isEmpty())
            line[0] = line[0].toUpper();
        text += (n.finding ? QStringLiteral("\u26a0 ") : QStringLiteral("\u2139 ")) + line +
                QStringLiteral(".\n\n");
    }
    if (!r.failure.empty())
        text += QStringLiteral("The check's tones could not be read: %1.")
                    .arg(QString::fromStdString(r.failure));
    if (text.isEmpty())
        text = QStringLiteral("Nothing found: the volumes are at 100 %, no effects are in the "
                              "way, and the tone came back clean on both channels.");
    const QString summary = found == 0   ? QStringLiteral("Set-up checked: nothing found")
                            : found == 1 ? QStringLiteral("Set-up checked: 1 warning")
                                         : QStringLiteral("Set-up checked: %1 warnings").arg(found);
    if (!setupBox_) {
        setupBox_ = new QMessageBox(this);
        setupBox_->setObjectName(QStringLiteral("SetupCheck"));
        setupBox_->setWindowTitle(QStringLiteral("Set-up check"));
        setupBox_->setStandardButtons(QMessageBox::Close);
        setupBox_->setModal(false);
        // Room for a sentence a line or two, not a narrow column of them.
        setupBox_->setStyleSheet(
            QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 30em; }"));
        ui::Registry::instance().addControl(QStringLiteral("graph"), QStringLiteral("SetupCheck"),
                                            setupBox_);
        ui::Registry::instance().addWindow(QStringLiteral("setupcheck"), setupBox_);
    }
    setupBox_->setIcon(found ? QMessageBox::Warning : QMessageBox::Information);
    setupBox_->setText(summary);
    setupBox_->setInformativeText(text.trimmed());
    setupBox_->show();
    setStatus(summary);
}

void GraphWindow::cancelReport() {
    if (run_)
        run_->cancel(); // finished() follows at once
}

void GraphWindow::reportEnded() {
    runBar_->hide();
    runCancel_->hide();
    action(QStringLiteral("mnuReport"))->setEnabled(true);
    action(QStringLiteral("mnuCheckSetup"))->setEnabled(true);
    const report::Report r = run_->report();
    const bool cancelled = run_->cancelled();
    run_->deleteLater();
    run_ = nullptr;
    std::string error;
    if (checking_ && cancelled)
        setStatus(QStringLiteral("Set-up check cancelled"));
    else if (checking_)
        showSetup(r);
    else if (cancelled)
        setStatus(QStringLiteral("Test run cancelled: no report written"));
    else if (!report::writeReport(r, reportDir_.toStdString(), error))
        setStatus(QStringLiteral("Could not write %1").arg(QString::fromStdString(error)));
    else if (!r.failure.empty())
        setStatus(QStringLiteral("No figures: %1").arg(QString::fromStdString(r.failure)));
    else
        setStatus(QStringLiteral("Report written to %1").arg(reportDir_));
}

} // namespace qelvar::graph

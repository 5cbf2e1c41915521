#include "app/report_command.h"

#include "app/session_end.h"
#include "audio/recorder.h"

#include "common/files.h"
#include "formats/textfile.h"
#include "graph/sweep_pdf.h"
#include "report/report_files.h"
#include "report/report_run.h"
#include "report/sweep_take.h"
#include "report/test_signal.h"

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace qelvar::app {
namespace {

// What the run is doing, on standard error. On a terminal it is one line
// that updates with the time left; elsewhere (a log, a pipe) each stage is
// a line of its own and the countdown is left out.
class ProgressLine {
  public:
    ProgressLine() : tty_(::isatty(STDERR_FILENO) != 0) {}
    void say(const QString& text) {
        text_ = text;
        if (tty_)
            draw();
        else
            std::fprintf(stderr, "qelvar: %s\n", qPrintable(text));
    }
    void left(int seconds) {
        if (seconds == left_)
            return;
        left_ = seconds;
        if (tty_)
            draw();
    }
    void end() {
        if (tty_ && drawn_)
            std::fputs("\n", stderr);
        drawn_ = false;
    }

  private:
    void draw() {
        QString line = QStringLiteral("qelvar: ") + text_;
        if (left_ >= 0)
            line += QStringLiteral(" %1 s left").arg(left_);
        // \r and a cleared rest of the line: a shorter text leaves no tail.
        std::fprintf(stderr, "\r%s\033[K", qPrintable(line));
        std::fflush(stderr);
        drawn_ = true;
    }
    bool tty_;
    bool drawn_ = false;
    QString text_;
    int left_ = -1;
};

void printSummary(const report::Report& r) {
    for (const auto& f : r.figures) {
        std::printf("%-24s %10.5g %-8s%s", f.key.c_str(), f.value, f.unit.c_str(),
                    f.failed ? " FAIL" : "");
        for (const auto& w : f.warnings)
            std::printf("  [%s]", w.c_str());
        std::printf("\n");
    }
    for (const auto& row : r.sweep)
        if (row.failed)
            std::printf("response at %g Hz outside the band FAIL\n", row.hz);
    if (r.limitsApplied)
        std::printf("%s\n", r.passed ? "PASSED" : "FAILED");
}

} // namespace

std::optional<report::Limits> readLimitsFile(const QString& path) {
    const auto text = readWholeFile(path.toStdString(), 1 << 20);
    if (!text) {
        std::fprintf(stderr, "qelvar: cannot read the limits file %s\n", qPrintable(path));
        return std::nullopt;
    }
    std::string error;
    auto limits = report::parseLimits(*text, error);
    if (!limits)
        std::fprintf(stderr, "qelvar: %s: %s\n", qPrintable(path), error.c_str());
    return limits;
}

namespace {

// Runs `run` to its end with the event loop, the progress on standard
// error. The signal that stopped it (Ctrl+C, a hang-up, SIGTERM), or 0.
int runToEnd(report::ReportRun& run) {
    QEventLoop loop;
    ProgressLine line;
    QObject::connect(&run, &report::ReportRun::progress, &run,
                     [&line](const QString& text) { line.say(text); });
    QObject::connect(&run, &report::ReportRun::advanced, &run,
                     [&line](int, int secondsLeft) { line.left(secondsLeft); });
    QObject::connect(&run, &report::ReportRun::finished, &loop, &QEventLoop::quit);
    int stoppedBy = 0;
    onSessionEnd(&run, [&run, &stoppedBy](int sig) {
        stoppedBy = sig;
        run.cancel();
    });
    run.start();
    if (run.running())
        loop.exec();
    line.end();
    return stoppedBy;
}

void printSetup(const report::Report& r) {
    for (const auto& n : r.setup)
        std::printf("%s: %s\n", n.finding ? "set-up warning" : "note", n.text.c_str());
}

} // namespace

int runCheck(audio::SoundServices& snd) {
    report::ReportRun run(snd, dataDir());
    run.setSignal(report::makeCheckSignal());
    if (const int sig = runToEnd(run); sig != 0) {
        std::fprintf(stderr, "qelvar: stopped\n");
        return 128 + sig;
    }
    const report::Report& r = run.report();
    printSetup(r);
    if (!r.failure.empty())
        std::fprintf(stderr, "qelvar: the check's tones could not be read: %s\n",
                     r.failure.c_str());
    const bool found = std::any_of(r.setup.begin(), r.setup.end(),
                                   [](const audio::SetupNote& n) { return n.finding; });
    if (found)
        return kCheckFound;
    return r.failure.empty() ? kCheckClean : kCheckCouldNotRun;
}

int runSweep(audio::SoundServices& snd, const QString& dir, double seconds, int averages,
             const std::optional<report::Limits>& limits) {
    report::SweepPlan plan;
    plan.seconds = seconds;
    const report::Sweep sweep = report::makeSweep(plan);
    report::ReportRun run(snd, dataDir());
    run.setSignal(report::sweepSignal(sweep, averages), false);
    if (const int sig = runToEnd(run); sig != 0) {
        std::fprintf(stderr, "qelvar: stopped; nothing written\n");
        return 128 + sig;
    }
    const report::Report& r = run.report();
    printSetup(r);
    if (!r.failure.empty()) {
        std::fprintf(stderr, "qelvar: no curves: %s\n", r.failure.c_str());
        return kReportCouldNotRun;
    }
    // Every play was spoilt by timing: the curves would mislead.
    if (report::timingFault(r.takeWarning)) {
        std::fprintf(stderr, "qelvar: no curves: %s\n", r.takeWarning.c_str());
        return kReportCouldNotRun;
    }
    if (!r.takeWarning.empty())
        std::fprintf(stderr, "qelvar: warning: %s\n", r.takeWarning.c_str());
    const auto takes = report::averagedTake(sweep, averages, run.take());
    const std::array<report::SweepResponse, 2> responses{report::analyseSweep(sweep, takes[0]),
                                                         report::analyseSweep(sweep, takes[1])};
    if (const std::string why = report::refusal(responses); !why.empty()) {
        std::fprintf(stderr, "qelvar: no curves: %s\n", why.c_str());
        return kReportCouldNotRun;
    }
    std::string error;
    report::SweepLimits held;
    int status = kReportPassed;
    if (limits && !report::checkSweepLimits(*limits, sweep, responses, held, error)) {
        std::fprintf(stderr, "qelvar: the limits file: %s\n", error.c_str());
        status = kReportCouldNotRun;
    }
    const bool limitsHeld = limits && status == kReportPassed;
    if (!report::writeSweepFiles(dir.toStdString(), sweep, averages, r.conditions, responses, error,
                                 limitsHeld ? &held : nullptr)) {
        std::fprintf(stderr, "qelvar: cannot write %s\n", error.c_str());
        return kReportCouldNotRun;
    }
    const auto& c = r.conditions;
    std::vector<std::string> lines{
        c.date + "   " + c.program, c.device,
        QStringLiteral("Sweep %1 Hz to %2 Hz, %3 s at -6 dBFS, %4 averaged; played %5 time%6")
            .arg(sweep.plan.startHz)
            .arg(sweep.plan.endHz, 0, 'f', 0)
            .arg(sweep.seconds, 0, 'f', 2)
            .arg(averages)
            .arg(c.takes)
            .arg(c.takes == 1 ? "" : "s")
            .toStdString()};
    if (!r.takeWarning.empty())
        lines.push_back("Warning: " + r.takeWarning);
    for (int ch = 0; ch < 2; ++ch) {
        const report::SweepFigures f = report::sweepFigures(responses[ch], sweep.plan.endHz);
        const auto point = [](double hz) {
            return hz > 0 ? QString::number(hz, 'f', 1) + QStringLiteral(" Hz")
                          : QStringLiteral("none within the sweep");
        };
        char line[400];
        std::snprintf(line, sizeof line,
                      "%-5s level at 1 kHz %+.3f dB, flat within +/-%.3f dB (20 Hz to 20 kHz), "
                      "-3 dB points: %s and %s, THD at 1 kHz %.1f dB",
                      ch == 0 ? "left" : "right", report::magnitudeDb(responses[ch], 1000),
                      f.flatnessDb, qPrintable(point(f.lowerHz)), qPrintable(point(f.upperHz)),
                      f.thd1kDb);
        std::printf("%s\n", line);
        lines.emplace_back(line);
    }
    graph::SweepCurves curves;
    if (!graph::loadSweepCurves(dir.toStdString(), curves, error) ||
        !graph::writeSweepPdf(dir.toStdString() + "/sweep.pdf", curves, lines)) {
        std::fprintf(stderr, "qelvar: cannot write %s/sweep.pdf\n", qPrintable(dir));
        return kReportCouldNotRun;
    }
    if (!limitsHeld)
        return status;
    for (const report::SweepLimitLine& l : held.lines) {
        const auto bound = [](const std::optional<double>& b) {
            return b ? QString::number(*b) : QStringLiteral("-");
        };
        std::printf("limits: response %s to %s dB from %.1f to %.1f Hz: %s\n",
                    qPrintable(bound(l.limit.lowest)), qPrintable(bound(l.limit.highest)), l.fromHz,
                    l.toHz, l.failed ? "FAILED" : "passed");
        for (int ch = 0; ch < 2; ++ch)
            std::printf("    %-5s from %+.3f dB at %.1f Hz to %+.3f dB at %.1f Hz\n",
                        ch == 0 ? "left" : "right", l.lowestDb[ch], l.lowestHz[ch], l.highestDb[ch],
                        l.highestHz[ch]);
    }
    return held.passed ? kReportPassed : kReportFailedLimits;
}

int runReport(audio::SoundServices& snd, const QString& dir,
              const std::optional<report::Limits>& limits) {
    report::ReportRun run(snd, dataDir());
    // Ctrl+C, a hang-up or SIGTERM stops the run and writes nothing.
    if (const int sig = runToEnd(run); sig != 0) {
        std::fprintf(stderr, "qelvar: stopped; no report written\n");
        return 128 + sig;
    }
    report::Report r = run.report();
    int status = kReportPassed;
    std::string error;
    if (limits && !report::applyLimits(*limits, r, error)) {
        std::fprintf(stderr, "qelvar: the limits file: %s\n", error.c_str());
        status = kReportCouldNotRun;
    }
    if (!report::writeReport(r, dir.toStdString(), error)) {
        std::fprintf(stderr, "qelvar: cannot write %s\n", error.c_str());
        return kReportCouldNotRun;
    }
    if (!r.failure.empty()) {
        std::fprintf(stderr, "qelvar: no figures: %s\n", r.failure.c_str());
        return kReportCouldNotRun;
    }
    printSetup(r);
    printSummary(r);
    if (status == kReportPassed && r.limitsApplied && !r.passed)
        status = kReportFailedLimits;
    return status;
}

} // namespace qelvar::app

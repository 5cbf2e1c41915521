#include "app/report_command.h"

#include "common/files.h"
#include "formats/textfile.h"
#include "report/report_files.h"
#include "report/report_run.h"

#include <QEventLoop>

#include <cstdio>

namespace qelvar::app {
namespace {

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

int runReport(audio::SoundServices& snd, const QString& dir,
              const std::optional<report::Limits>& limits) {
    report::ReportRun run(snd, dataDir());
    QEventLoop loop;
    QObject::connect(&run, &report::ReportRun::progress, [](const QString& text) {
        std::fprintf(stderr, "qelvar: %s\n", qPrintable(text));
    });
    QObject::connect(&run, &report::ReportRun::finished, &loop, &QEventLoop::quit);
    run.start();
    if (run.running())
        loop.exec();
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
    printSummary(r);
    if (status == kReportPassed && r.limitsApplied && !r.passed)
        status = kReportFailedLimits;
    return status;
}

} // namespace qelvar::app

#include "report/report_run.h"

#include "audio/recorder.h"
#include "audio/wav_reader.h"
#include "common/files.h"
#include "report/figures.h"
#include "report/setup_sound.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <filesystem>

namespace qelvar::report {
namespace {

constexpr const char* kSignalFile = "qelvarreport.wav";
constexpr const char* kTakeFile = "qelvarreporttake.wav";
constexpr const char* kWhyShort = "the take came back short";
// What a progress bar allows for the analysis after the signal ends.
constexpr double kAnalysisSeconds = 1.0;

// A take spoilt on the way rather than by the set-up: worth playing again.
bool troubled(const audio::TakeResult& r) {
    using S = audio::TakeResult::State;
    return (r.state == S::Failed || r.state == S::Suspect) && timingFault(r.why);
}

} // namespace

bool timingFault(const std::string& why) {
    return why == audio::kWhyLost || why == audio::kWhySuspended || why == audio::kWhyShifted ||
           why == audio::kWhyUnaligned;
}

ReportRun::ReportRun(audio::SoundServices& snd, std::string folder, QObject* parent)
    : QObject(parent), snd_(snd), folder_(std::move(folder)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ReportRun::step);
}

ReportRun::~ReportRun() {
    if (state_ == State::Recording || state_ == State::Finishing)
        stopSound();
}

void ReportRun::stopSound() {
    snd_.mciSendString(audio::kCloseAll);
    snd_.playSound("0", audio::kPurgeAll);
}

void ReportRun::cancel() {
    if (!running())
        return;
    if (state_ == State::Recording || state_ == State::Finishing)
        stopSound();
    cancelled_ = true;
    report_.figures.clear();
    report_.failure = "the run was cancelled";
    state_ = State::Idle;
    timer_.stop();
    emit finished();
}

void ReportRun::start() {
    if (running())
        return;
    report_ = Report{};
    take_.clear();
    report_.conditions.program =
        (QStringLiteral("qelvar ") + QCoreApplication::applicationVersion()).toStdString();
    report_.conditions.date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    signal_ = custom_ ? *custom_ : makeSignal();
    // What is played, said also by a run that comes to no figures.
    report_.conditions.bits = kSignalBits;
    report_.conditions.signalSeconds = static_cast<double>(signal_.frames()) / kRate;
    // Said also when no take comes back: a muted output is why.
    report_.setup = snd_.setupNotes();
    attempt_ = 0;
    plays_ = 0;
    cancelled_ = false;
    const auto bytes = wavFile(signal_.samples);
    if (!replaceFile(folder_ + "/" + kSignalFile, bytes)) {
        fail("the test signal could not be written; check the data folder");
        return;
    }
    std::error_code ec;
    std::filesystem::remove(folder_ + "/" + kTakeFile, ec); // never read an old take
    state_ = State::Opening;
    since_ = std::chrono::steady_clock::now();
    emit progress(QStringLiteral("Opening the sound device..."));
    emit advanced(0, -1);
    step();
}

void ReportRun::step() {
    const auto waited = std::chrono::steady_clock::now() - since_;
    switch (state_) {
    case State::Idle:
        return;
    case State::Opening:
        if (snd_.readiness() == audio::Readiness::Ready)
            beginTake();
        else if (snd_.readiness() == audio::Readiness::Failed || waited > kOpening)
            fail(snd_.statusText().empty() ? "the sound device did not answer" : snd_.statusText());
        else
            timer_.start(50);
        return;
    case State::Recording: {
        const std::chrono::milliseconds length(signal_.frames() * 1000 / kRate);
        if (waited < length) {
            const double played = std::chrono::duration<double>(waited).count();
            const double whole = std::chrono::duration<double>(length).count();
            const double left = whole - played + kAnalysisSeconds;
            emit advanced(static_cast<int>(100 * played / (whole + kAnalysisSeconds)),
                          static_cast<int>(std::ceil(left)));
            const auto rest =
                std::chrono::duration_cast<std::chrono::milliseconds>(length - waited);
            timer_.start(static_cast<int>(std::min<std::int64_t>(100, rest.count() + 20)));
            return;
        }
        // The device may take the sound in late; stop once all of it went.
        const auto sent = snd_.soundFramesSent();
        if (sent >= 0 && sent < signal_.frames() && waited < length + kTakePatience) {
            timer_.start(20);
            return;
        }
        endTake();
        return;
    }
    case State::Finishing: {
        const auto r = snd_.takeResult(folder_ + "/" + kTakeFile);
        if (r.state == audio::TakeResult::State::Pending && waited < kTakePatience) {
            timer_.start(20);
            return;
        }
        if (troubled(r) && playAgain(r.why))
            return;
        if (!r.usable()) {
            fail(r.why.empty() ? "the take was not finished in time" : r.why);
            return;
        }
        // A take cut where it stopped lining up keeps only its exact part;
        // the report needs all of it.
        const auto take = audio::readClip(folder_ + "/" + kTakeFile);
        const bool whole = take && take->frames() >= static_cast<std::size_t>(signal_.framesRead());
        if (!whole && playAgain(kWhyShort))
            return;
        if (!whole) {
            fail(std::string(kWhyShort) + "; play again");
            return;
        }
        emit progress(QStringLiteral("Analysing..."));
        {
            const double whole = static_cast<double>(signal_.frames()) / kRate;
            emit advanced(static_cast<int>(100 * whole / (whole + kAnalysisSeconds)),
                          static_cast<int>(std::ceil(kAnalysisSeconds)));
        }
        if (figures_)
            analyse(signal_, take->samples, report_);
        take_ = take->samples;
        for (audio::SetupNote& n : soundChecks(signal_, take->samples))
            report_.setup.push_back(std::move(n));
        std::stable_partition(report_.setup.begin(), report_.setup.end(),
                              [](const audio::SetupNote& n) { return n.finding; });
        report_.conditions.bits = take->bits;
        report_.conditions.runSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - played_).count();
        if (r.state == audio::TakeResult::State::Suspect)
            report_.takeWarning = r.why;
        if (r.state == audio::TakeResult::State::Suspect)
            for (auto& f : report_.figures)
                f.warnings.push_back(r.why);
        finish();
        return;
    }
    }
}

// A lost buffer or a graph the server reconfigured spoils one take, not
// the next: the path settles, is lined up again after a second of quiet
// (the device is not ready meanwhile), then the signal plays again.
bool ReportRun::playAgain(const std::string& why) {
    if (++attempt_ >= kAttempts)
        return false;
    emit progress(QStringLiteral("The take was troubled (%1); playing again...")
                      .arg(QString::fromStdString(why)));
    state_ = State::Opening;
    since_ = std::chrono::steady_clock::now();
    timer_.start(2000);
    return true;
}

void ReportRun::beginTake() {
    const auto info = snd_.pathInfo();
    report_.conditions.device = info.description;
    report_.conditions.deviceRate = info.deviceRate;
    report_.conditions.deviceBits = info.deviceBits;
    report_.conditions.latencyFrames = info.latencyFrames;
    report_.conditions.latencyMeasured = info.latencyMeasured;
    snd_.playSound(folder_ + "/" + kSignalFile, audio::kPlayOnce);
    report_.conditions.takes = ++plays_;
    played_ = std::chrono::steady_clock::now();
    snd_.mciSendString(audio::kCloseAll);
    snd_.mciSendString(audio::kOpenCapture);
    snd_.mciSendString(audio::kSeekCapture);
    snd_.mciSendString(audio::kSetCapture);
    snd_.mciSendString(audio::kRecordCapture);
    state_ = State::Recording;
    since_ = std::chrono::steady_clock::now();
    const auto ms = signal_.frames() * 1000 / kRate;
    emit progress(QStringLiteral("Playing the test signal (%1 s)...").arg(ms / 1000.0, 0, 'f', 1));
    emit advanced(0, static_cast<int>(std::ceil(ms / 1000.0 + kAnalysisSeconds)));
    timer_.start(100);
}

void ReportRun::endTake() {
    snd_.mciSendString(audio::kStopCapture);
    snd_.mciSendString(std::string(audio::kSaveCapturePrefix) + folder_ + "/" + kTakeFile);
    snd_.mciSendString(audio::kCloseAll);
    snd_.playSound("0", audio::kPurgeAll);
    state_ = State::Finishing;
    since_ = std::chrono::steady_clock::now();
    step();
}

void ReportRun::fail(const std::string& why) {
    report_.failure = why;
    finish();
}

void ReportRun::finish() {
    state_ = State::Idle;
    timer_.stop();
    emit finished();
}

} // namespace qelvar::report

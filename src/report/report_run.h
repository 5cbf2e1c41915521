// One sound-card test run: plays the test signal once through the sound
// services, records it back, and analyses the take. Driven by the event
// loop (timers, no thread of its own), so the sound services are only ever
// called from the thread that owns them.
#pragma once

#include "audio/sound.h"
#include "report/report.h"
#include "report/test_signal.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

namespace qelvar::report {

// Whether a take's trouble is one of timing (frames lost, the device
// suspended, the recording moved or not lined up), not the path's sound.
bool timingFault(const std::string& why);

class ReportRun : public QObject {
    Q_OBJECT
  public:
    // The signal and the take are written in `folder` (the data folder).
    ReportRun(audio::SoundServices& snd, std::string folder, QObject* parent = nullptr);
    ~ReportRun() override;

    // Plays `signal` instead of makeSignal()'s (a test plays known flaws).
    // Without `figures` only the take is kept, for the caller to read (a
    // sweep of its own length and averages).
    void setSignal(Signal signal, bool figures = true) {
        custom_ = std::move(signal);
        figures_ = figures;
    }
    void start();
    // Stops the run where it is: the sound stops, finished() follows, and
    // report() holds no figures (its failure says it was cancelled).
    void cancel();
    bool running() const { return state_ != State::Idle; }
    bool cancelled() const { return cancelled_; }
    const Report& report() const { return report_; }
    // The take the figures were read from (interleaved stereo, full scale
    // 2^31, lined up with the signal); empty when there are none.
    const std::vector<std::int32_t>& take() const { return take_; }

    // How long the device may take to open (a loaded machine has taken over
    // 5 s to start a server's streams), and the take to come back.
    static constexpr std::chrono::milliseconds kOpening{10000};
    static constexpr std::chrono::milliseconds kTakePatience{5000};
    // Takes spoilt on the way (frames lost, the recording moved) are
    // played again, up to this many in all.
    static constexpr int kAttempts = 3;

  signals:
    void progress(const QString& text);
    // How far the run is, 0 to 100, and about how many seconds are left
    // (-1 while that is not known: the device is opening).
    void advanced(int percent, int secondsLeft);
    // The run ended: report() holds the figures, or report().failure says
    // why there are none.
    void finished();

  private:
    enum class State { Idle, Opening, Recording, Finishing };
    void step();
    void beginTake();
    void endTake();
    bool playAgain(const std::string& why);
    void fail(const std::string& why);
    void stopSound();
    void finish();

    audio::SoundServices& snd_;
    std::string folder_;
    std::optional<Signal> custom_;
    Signal signal_;
    Report report_;
    std::vector<std::int32_t> take_;
    State state_ = State::Idle;
    int attempt_ = 0;
    int plays_ = 0; // times the signal was played in this run
    bool cancelled_ = false;
    bool figures_ = true;
    QTimer timer_;
    std::chrono::steady_clock::time_point since_, played_;
};

} // namespace qelvar::report

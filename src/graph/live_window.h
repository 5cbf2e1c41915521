// The live input window: what comes in right now, before anything is
// measured. Peak and RMS meters per channel in dBFS with a clip lamp that
// holds, a spectrum (averaged, peaks held, on a log frequency axis, or in
// 1/3-octave bars) with the mains hum frequencies marked, and a key that
// loops the 1 kHz tone at -3 dBFS the set-up check plays, to set levels by.
#pragma once

#include "report/live_meter.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace qelvar::graph {

class LiveWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LiveWindow(std::string folder, QWidget* parent = nullptr);
    ~LiveWindow() override;

    const report::LiveMeter& meter() const { return meter_; }
    // One update, as the timer makes it (tests and benchmarks).
    void update();
    // Updates a second: at least 20 keep the meters smooth.
    static constexpr int kUpdatesPerSecond = 25;

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void playTone(bool on);

    std::string folder_;
    report::LiveMeter meter_;
    QTimer timer_;
    QWidget* meters_ = nullptr;
    QWidget* spectrum_ = nullptr;
    QCheckBox* average_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QCheckBox* bands_ = nullptr;
    QPushButton* tone_ = nullptr;
    QLabel* readout_ = nullptr;
    bool tonePlaying_ = false;
};

} // namespace qelvar::graph

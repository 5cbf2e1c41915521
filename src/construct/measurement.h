// The page's full-duplex measurement: the recording calls around each
// step, the takes of the current run and what became of them, and the
// settings a reading is made with (offset and calibration).
#pragma once

#include "audio/sound.h"
#include "construct/measure/measure.h"
#include "construct/step_table.h"

#include <array>
#include <string>
#include <vector>

namespace qelvar::construct {

class Measurement {
  public:
    explicit Measurement(audio::SoundServices& snd) : snd_(snd) {}

    bool fullDuplex() const { return fullDuplex_; }
    void setFullDuplex(bool on) { fullDuplex_ = on; }
    MeasureSettings& settings() { return s_; }
    const MeasureSettings& settings() const { return s_; }
    // The offset box's value, in single precision as the box holds it.
    float offsetDb() const { return offsetDb_; }
    void setOffsetDb(float db) {
        offsetDb_ = db;
        s_.offsetDb = db;
    }

    void startTake();
    // Ends the take of `step`, saved to `path`. A sweep row's take is
    // finished by the sound layer in the background and awaited (true);
    // any other step is read at once, as it always was, and not shown.
    bool endTake(int step, const std::string& path);

    // PLAY: what became of the last run's takes no longer matters. In full
    // duplex, the set-up is checked anew for the notes line.
    void newRun();
    // The rows whose takes have settled since the last poll.
    std::vector<int> poll();
    bool pending() const { return !pending_.empty(); }
    // Row r's take of this run failed: its boxes stay empty, and SET CAL
    // and VIEW GRAPH leave it out.
    bool failed(int r) const { return r >= 1 && r <= kRows && failed_[r]; }
    // Row r's take of this run is not good: failed, or suspect (the notes
    // line says why).
    bool marked(int r) const { return r >= 1 && r <= kRows && !why_[r].empty(); }
    // Whether row r has a reading of this session's measuring to plot: once
    // anything was measured, only a row whose take of the latest run came
    // back usable has one; a row still to come, or that failed, has none.
    bool plottable(int r) const {
        return r >= 1 && r <= kRows && (run_ == 0 || (measured_[r] && !failed_[r]));
    }
    // The notes line: the set-up's warnings, then the rows whose takes are
    // not good, and why.
    std::string notes() const;

  private:
    void settle(int row, const audio::TakeResult& result);

    audio::SoundServices& snd_;
    bool fullDuplex_ = false;
    float offsetDb_ = 0;
    MeasureSettings s_; // offset and calibration flags, calL, calR

    // Takes of the current run (counted by PLAY) whose results are not in.
    struct PendingTake {
        int run;
        int row;
        std::string path;
    };
    std::vector<PendingTake> pending_;
    int run_ = 0;
    std::string setup_; // "Set-up: ...." or ""
    // Per row 1..20, this run's latest take: why it is not good ("" when
    // it is), and whether it failed outright.
    std::array<std::string, kRows + 1> why_{};
    std::array<bool, kRows + 1> failed_{};
    std::array<bool, kRows + 1> measured_{};
};

} // namespace qelvar::construct

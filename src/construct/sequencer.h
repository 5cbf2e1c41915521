// The sequencer: the step index and flags behind PLAY, STOP, LOOP, STEP and
// the timer's tick. It makes no calls itself: each move returns what the
// page is to do, in order, so the player and recorder calls keep theirs.
#pragma once

#include "construct/step_table.h"

#include <vector>

namespace qelvar::construct {

struct SeqAction {
    enum class Kind {
        Stop,      // Stopplay
        Loop,      // loop step `step`'s file
        StartTake, // start recording
        EndTake,   // stop recording the take of step `step`
        RowsIdle,  // every row indicator green
        RowPlayed, // row indicator of step `step` played
        Ended,     // the sequence ran out: play indicator off
    };
    Kind kind;
    int step = 0;
    bool operator==(const SeqAction&) const = default;
};
using SeqActions = std::vector<SeqAction>;

class Sequencer {
  public:
    // PLAY's first tick with full duplex on waits this many ticks of 100 ms
    // at most for a sound device that is still opening.
    static constexpr int kOpeningWaitTicks = 50;

    void play();
    void stop();
    // PULSE ends a running sequence.
    void halt() {
        playing_ = false;
        interval_ = 0;
    }
    // OFF and page open stop the timer only.
    void stopTimer() { interval_ = 0; }
    void toggleLoop() { loop_ = !loop_; }
    void setLoop(bool on) { loop_ = on; }

    enum class Opening { None, Waiting, Waited };
    // Before a tick: whether PLAY's first tick still waits for the device
    // (Waiting), has just stopped waiting (Waited) or never did (None).
    Opening waitForDevice(bool deviceOpening);
    SeqActions tick(const StepTable& t, bool fullDuplex);
    SeqActions step(const StepTable& t);

    // Timer interval in ms; 0 = stopped.
    int interval() const { return interval_; }
    int stepIndex() const { return k_; }
    int previousStep() const { return previous_; }
    bool playing() const { return playing_; }
    bool loopOn() const { return loop_; }

  private:
    void passOver(const StepTable& t, SeqActions& out);
    void afterPassOver(const StepTable& t, SeqActions& out);
    void markPlayed(SeqActions& out) const;

    int k_ = 0;
    int previous_ = 0;
    bool playing_ = false;
    bool skip_ = false;
    bool loop_ = false;
    int interval_ = 0;
    // Since PLAY: ticks spent waiting for the device; -1 once under way.
    int openingTicks_ = -1;
};

} // namespace qelvar::construct

// The sequencer: PLAY, STOP, LOOP, STEP and the timer's tick. The window
// owns the timer and sets its interval from interval() after every call.
#include "construct/page_model.h"

#include "common/numbers.h"

#include <climits>

namespace qelvar::construct {

namespace {

int intervalOf(double ms) {
    const std::int64_t r = roundEven(ms);
    return r <= 0 ? 0 : r >= INT_MAX ? INT_MAX : static_cast<int>(r);
}

} // namespace

void PageModel::play() {
    c_.status = std::string(15, ' ');
    snd_.mciSendString(audio::kCloseAll);
    Stopplay();
    update3();
    playing_ = 1;
    setLamp(Lamp::Play, true);
    allRowsIdle();
    for (int r = 1; r <= kRows; ++r) {
        c_.left[r].clear();
        c_.right[r].clear();
    }
    stepIndex_ = 1;
    // A pass-over left unfinished by the last sequence (or by STEP) would
    // otherwise hold row 1 for a second tick.
    skip_ = 0;
    interval_ = 100;
    pulsePlaying_ = 0;
    setLamp(Lamp::Pulse, false);
    // A new run: what became of the last run's takes no longer matters.
    ++run_;
    takeWhy_.fill("");
    takeFailed_.fill(false);
    c_.measureNotes.clear();
    openingTicks_ = 0;
}

// PLAY's first tick waits, 100 ms at a time, while the sound device is
// still being opened: recording into it now would lose step 1. After
// kOpeningWaitTicks, or when opening failed, the sequence goes on and the
// takes report what became of them.
bool PageModel::waitForDevice() {
    if (openingTicks_ < 0)
        return false;
    const bool opening =
        playing_ == 1 && fullDuplex_ == 1 && snd_.readiness() == audio::Readiness::Opening;
    if (opening && openingTicks_ < kOpeningWaitTicks) {
        ++openingTicks_;
        c_.status = "    Opening the sound device...";
        interval_ = 100;
        return true;
    }
    if (openingTicks_ > 0 && playing_ == 1)
        c_.status = std::string(15, ' ');
    openingTicks_ = -1;
    return false;
}

// Excluded steps become one silence: each is stopped and passed over, and
// the skip flag makes the next included step wait for the following tick.
// Past step 25 there is nothing left to play, so the index stops at 26,
// which ends (or restarts) the sequence like any step beyond 21.
void PageModel::passOver() {
    int& k = stepIndex_;
    for (int n = 0; n < 20 && k <= kLastStep; ++n) {
        if (t_.included(k))
            continue;
        Stopplay();
        skip_ = 1;
        ++k;
    }
    if (k <= kLastStep && !t_.included(k))
        ++k;
}

// Tick steps 4 to 6: move on, hold back after a pass-over, end or restart.
void PageModel::afterPassOver() {
    int& k = stepIndex_;
    if (t_.included(k) && k < 22 && playing_ == 1)
        ++k;
    if (k > 1 && t_.included(k - 1) && playing_ == 1 && skip_ == 1) {
        skip_ = 0;
        --k;
    }
    if (k > 21) {
        if (loop_ == 1) {
            allRowsIdle();
            k = 0;
            previous_ = 0;
        }
        if (k > 21) {
            playing_ = 0;
            interval_ = 0;
            Stopplay();
            setLamp(Lamp::Play, false);
            allRowsIdle();
        }
    }
}

void PageModel::tick() {
    if (waitForDevice())
        return;
    int& k = stepIndex_;
    if (k == 0)
        k = 1;
    previous_ = k - 1;
    if (t_.included(previous_) && fullDuplex_ == 1)
        endStepRecording();
    if (playing_ == 1) {
        interval_ = k <= kLastStep ? intervalOf(t_.length[k]) : 0;
        if (t_.included(k) && k < 21) {
            playloop(stepFile(k));
            if (fullDuplex_ == 1)
                startStepRecording();
        }
        passOver();
        if (k - 1 >= 0 && k - 1 < static_cast<int>(c_.indicator.size()))
            c_.indicator[k - 1] = kRowPlayed;
    }
    afterPassOver();
}

void PageModel::stop() {
    c_.status = std::string(13, ' ');
    openingTicks_ = -1;
    Stopplay();
    stepIndex_ = 0;
    playing_ = 0;
    interval_ = 0;
    setLamp(Lamp::Play, false);
    pulsePlaying_ = 0;
    setLamp(Lamp::Pulse, false);
    setLamp(Lamp::Step, false);
    allRowsIdle();
    snd_.mciSendString(audio::kCloseAll);
}

void PageModel::loop() {
    loop_ = loop_ == 1 ? 0 : 1;
    setLamp(Lamp::Loop, loop_ == 1);
}

void PageModel::step() {
    int& k = stepIndex_;
    ++k;
    if (k > 20) {
        k = 1;
        allRowsIdle();
    }
    setLamp(Lamp::Step, true);
    if (t_.included(k) && k < 21)
        playloop(stepFile(k));
    passOver();
    if (k - 1 >= 0 && k - 1 < static_cast<int>(c_.indicator.size()))
        c_.indicator[k - 1] = kRowPlayed;
    afterPassOver();
}

} // namespace qelvar::construct

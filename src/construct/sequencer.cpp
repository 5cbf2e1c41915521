// The sequencer's moves. The window owns the timer and sets its interval
// from interval() after every call.
#include "construct/sequencer.h"

#include "common/numbers.h"

#include <climits>
#include <cstdint>

namespace qelvar::construct {

namespace {

int intervalOf(double ms) {
    const std::int64_t r = roundEven(ms);
    return r <= 0 ? 0 : r >= INT_MAX ? INT_MAX : static_cast<int>(r);
}

using Kind = SeqAction::Kind;

} // namespace

// A pass-over left unfinished by the last sequence (or by STEP) would
// otherwise hold row 1 for a second tick, hence skip off.
void Sequencer::play() {
    playing_ = true;
    k_ = 1;
    skip_ = false;
    interval_ = 100;
    openingTicks_ = 0;
}

void Sequencer::stop() {
    openingTicks_ = -1;
    k_ = 0;
    playing_ = false;
    interval_ = 0;
}

// PLAY's first tick waits, 100 ms at a time, while the sound device is
// still being opened: recording into it now would lose step 1. After
// kOpeningWaitTicks, or when opening failed, the sequence goes on and the
// takes report what became of them.
Sequencer::Opening Sequencer::waitForDevice(bool deviceOpening) {
    if (openingTicks_ < 0)
        return Opening::None;
    if (deviceOpening && openingTicks_ < kOpeningWaitTicks) {
        ++openingTicks_;
        interval_ = 100;
        return Opening::Waiting;
    }
    const bool waited = openingTicks_ > 0 && playing_;
    openingTicks_ = -1;
    return waited ? Opening::Waited : Opening::None;
}

// Excluded steps become one silence: each is stopped and passed over, and
// the skip flag makes the next included step wait for the following tick.
// Past step 25 there is nothing left to play, so the index stops at 26,
// which ends (or restarts) the sequence like any step beyond 21.
void Sequencer::passOver(const StepTable& t, SeqActions& out) {
    for (int n = 0; n < 20 && k_ <= kLastStep; ++n) {
        if (t.included(k_))
            continue;
        out.push_back({Kind::Stop});
        skip_ = true;
        ++k_;
    }
    if (k_ <= kLastStep && !t.included(k_))
        ++k_;
}

// Tick steps 4 to 6: move on, hold back after a pass-over, end or restart.
void Sequencer::afterPassOver(const StepTable& t, SeqActions& out) {
    if (t.included(k_) && k_ < 22 && playing_)
        ++k_;
    if (k_ > 1 && t.included(k_ - 1) && playing_ && skip_) {
        skip_ = false;
        --k_;
    }
    if (k_ > 21) {
        if (loop_) {
            out.push_back({Kind::RowsIdle});
            k_ = 0;
            previous_ = 0;
        }
        if (k_ > 21) {
            playing_ = false;
            interval_ = 0;
            out.push_back({Kind::Stop});
            out.push_back({Kind::Ended});
            out.push_back({Kind::RowsIdle});
        }
    }
}

void Sequencer::markPlayed(SeqActions& out) const {
    out.push_back({Kind::RowPlayed, k_});
}

SeqActions Sequencer::tick(const StepTable& t, bool fullDuplex) {
    SeqActions out;
    if (k_ == 0)
        k_ = 1;
    previous_ = k_ - 1;
    if (t.included(previous_) && fullDuplex)
        out.push_back({Kind::EndTake, previous_});
    if (playing_) {
        interval_ = k_ <= kLastStep ? intervalOf(t.length[k_]) : 0;
        if (t.included(k_) && k_ < 21) {
            out.push_back({Kind::Loop, k_});
            if (fullDuplex)
                out.push_back({Kind::StartTake});
        }
        passOver(t, out);
        markPlayed(out);
    }
    afterPassOver(t, out);
    return out;
}

SeqActions Sequencer::step(const StepTable& t) {
    SeqActions out;
    ++k_;
    if (k_ > 20) {
        k_ = 1;
        out.push_back({Kind::RowsIdle});
    }
    if (t.included(k_) && k_ < 21)
        out.push_back({Kind::Loop, k_});
    passOver(t, out);
    markPlayed(out);
    afterPassOver(t, out);
    return out;
}

} // namespace qelvar::construct

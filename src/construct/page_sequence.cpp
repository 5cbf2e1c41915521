// PLAY, STOP, LOOP, STEP and the timer's tick on the page: the sequencer
// moves, the page carries out what it returns. The window owns the timer
// and sets its interval from interval() after every call.
#include "construct/page_model.h"

namespace qelvar::construct {

void PageModel::play() {
    c_.status = std::string(15, ' ');
    snd_.mciSendString(audio::kCloseAll);
    Stopplay();
    update3();
    seq_.play();
    setLamp(Lamp::Play, true);
    allRowsIdle();
    for (int r = 1; r <= kRows; ++r) {
        c_.left[r].clear();
        c_.right[r].clear();
    }
    pulsePlaying_ = false;
    setLamp(Lamp::Pulse, false);
    // A new run: what became of the last run's takes no longer matters.
    m_.newRun();
    c_.measureNotes = m_.notes();
}

void PageModel::tick() {
    const bool opening =
        seq_.playing() && m_.fullDuplex() && snd_.readiness() == audio::Readiness::Opening;
    switch (seq_.waitForDevice(opening)) {
    case Sequencer::Opening::Waiting:
        c_.status = "    Opening the sound device...";
        return;
    case Sequencer::Opening::Waited:
        c_.status = std::string(15, ' ');
        break;
    case Sequencer::Opening::None:
        break;
    }
    perform(seq_.tick(t_, m_.fullDuplex()));
}

void PageModel::perform(const SeqActions& actions) {
    for (const SeqAction& a : actions) {
        switch (a.kind) {
        case SeqAction::Kind::Stop:
            Stopplay();
            break;
        case SeqAction::Kind::Loop:
            playloop(stepFile(a.step));
            break;
        case SeqAction::Kind::StartTake:
            m_.startTake();
            break;
        case SeqAction::Kind::EndTake:
            if (m_.endTake(a.step, captureFile(a.step)))
                pollTakes();
            break;
        case SeqAction::Kind::RowsIdle:
            allRowsIdle();
            break;
        case SeqAction::Kind::RowPlayed:
            if (a.step >= 1 && a.step - 1 < static_cast<int>(c_.indicator.size()))
                c_.indicator[a.step - 1] = kRowPlayed;
            break;
        case SeqAction::Kind::Ended:
            setLamp(Lamp::Play, false);
            break;
        }
    }
}

void PageModel::stop() {
    c_.status = std::string(13, ' ');
    seq_.stop();
    Stopplay();
    setLamp(Lamp::Play, false);
    pulsePlaying_ = false;
    setLamp(Lamp::Pulse, false);
    setLamp(Lamp::Step, false);
    allRowsIdle();
    snd_.mciSendString(audio::kCloseAll);
}

void PageModel::loop() {
    seq_.toggleLoop();
    setLamp(Lamp::Loop, seq_.loopOn());
}

void PageModel::step() {
    setLamp(Lamp::Step, true);
    perform(seq_.step(t_));
}

} // namespace qelvar::construct

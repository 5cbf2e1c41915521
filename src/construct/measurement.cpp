// The recording calls around a step and the takes of the current run.
#include "construct/measurement.h"

#include "construct/measure/take_notes.h"

#include <span>

namespace qelvar::construct {

namespace {

std::string whyOf(const audio::TakeResult& r) {
    using State = audio::TakeResult::State;
    if (r.state == State::Unknown)
        return "the recording was not saved";
    if (!r.why.empty())
        return r.why;
    return r.state == State::Suspect ? "the recording may not be right" : "the recording failed";
}

} // namespace

void Measurement::startTake() {
    snd_.mciSendString(audio::kCloseAll);
    snd_.mciSendString(audio::kOpenCapture);
    snd_.mciSendString(audio::kSeekCapture);
    std::string answer(260, ' ');
    snd_.mciSendString(audio::kSetCapture, &answer);
    snd_.mciSendString(audio::kRecordCapture);
}

// Step 0 is never shown and steps past the sweep rows have no boxes.
bool Measurement::endTake(int step, const std::string& path) {
    snd_.mciSendString(audio::kStopCapture);
    snd_.mciSendString(std::string(audio::kSaveCapturePrefix) + path);
    snd_.mciSendString(audio::kCloseAll);
    if (step < 1 || step > kRows) {
        peakread(path, step, s_);
        return false;
    }
    pending_.push_back({run_, step, path});
    return true;
}

void Measurement::newRun() {
    ++run_;
    why_.fill("");
    failed_.fill(false);
    measured_.fill(false);
}

std::vector<int> Measurement::poll() {
    std::vector<int> settled;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->run != run_) { // PLAY has started over since
            it = pending_.erase(it);
            continue;
        }
        const audio::TakeResult result = snd_.takeResult(it->path);
        if (result.state == audio::TakeResult::State::Pending) {
            ++it;
            continue;
        }
        settle(it->row, result);
        settled.push_back(it->row);
        it = pending_.erase(it);
    }
    return settled;
}

void Measurement::settle(int row, const audio::TakeResult& result) {
    failed_[row] = !result.usable();
    measured_[row] = result.usable();
    why_[row] = result.state == audio::TakeResult::State::Good ? "" : whyOf(result);
}

std::string Measurement::notes() const {
    return takeNotes(std::span<const std::string>(why_.data() + 1, kRows));
}

} // namespace qelvar::construct

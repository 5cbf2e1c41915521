// The recording calls around a step and the takes of the current run.
#include "construct/measurement.h"

#include "construct/measure/take_notes.h"

#include <cctype>
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
    // Only what costs no sound, asked as PLAY is pressed: a volume or an
    // effects sink changed since is seen at the next PLAY.
    setup_.clear();
    if (fullDuplex_)
        for (const audio::SetupNote& n : snd_.setupNotes()) {
            if (!n.finding || n.text.empty())
                continue;
            if (setup_.empty()) {
                setup_ = "Set-up: " + n.text;
            } else {
                setup_ += ". " + n.text;
                char& first = setup_[setup_.size() - n.text.size()];
                first = static_cast<char>(std::toupper(static_cast<unsigned char>(first)));
            }
        }
    if (!setup_.empty())
        setup_ += '.';
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
    const std::string rows = takeNotes(std::span<const std::string>(why_.data() + 1, kRows));
    return setup_.empty() || rows.empty() ? setup_ + rows : setup_ + ' ' + rows;
}

} // namespace qelvar::construct

// Full-duplex measurement on the page: the recording calls around each
// step, the takes' results, the reading boxes and notes line, calibration
// and the graph data file.
#include "construct/page_model.h"

#include "common/files.h"
#include "construct/measure/calibration.h"
#include "construct/measure/graphdata.h"
#include "construct/measure/take_notes.h"

#include <vector>

namespace qelvar::construct {

void PageModel::startStepRecording() {
    snd_.mciSendString(audio::kCloseAll);
    snd_.mciSendString(audio::kOpenCapture);
    snd_.mciSendString(audio::kSeekCapture);
    std::string answer(260, ' ');
    snd_.mciSendString(audio::kSetCapture, &answer);
    snd_.mciSendString(audio::kRecordCapture);
}

// The take is finished by the sound layer in the background, so a row's
// levels are read once its result is in (at once when it already is). Step
// 0 is never shown and steps past the sweep rows have no boxes: those are
// read at once as they always were.
void PageModel::endStepRecording(int N) {
    snd_.mciSendString(audio::kStopCapture);
    snd_.mciSendString(std::string(audio::kSaveCapturePrefix) + captureFile(N));
    snd_.mciSendString(audio::kCloseAll);
    if (N < 1 || N > kRows) {
        construct::peakread(captureFile(N), N, measure_);
        return;
    }
    pending_.push_back({run_, N, captureFile(N)});
    pollTakes();
}

void PageModel::pollTakes() {
    bool settled = false;
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
        settleTake(it->row, result);
        settled = true;
        it = pending_.erase(it);
    }
    if (settled)
        c_.measureNotes = takeNotes(std::span<const std::string>(takeWhy_.data() + 1, kRows));
}

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

// A failed take must never pass for a reading: its row is left empty (a
// looped sweep's earlier reading of the row goes too), and SET CAL and
// VIEW GRAPH leave it out.
void PageModel::settleTake(int row, const audio::TakeResult& result) {
    const bool usable = result.usable();
    takeFailed_[row] = !usable;
    takeWhy_[row] = result.state == audio::TakeResult::State::Good ? "" : whyOf(result);
    if (usable) {
        showReading(row);
    } else {
        c_.left[row].clear();
        c_.right[row].clear();
    }
}

void PageModel::showReading(int row) {
    const Reading r = construct::peakread(captureFile(row), row, measure_);
    c_.left[row] = readingText(r.left);
    c_.right[row] = readingText(r.right);
}

void PageModel::fullDuplex() {
    fullDuplex_ = !fullDuplex_;
    setLamp(Lamp::FullDuplex, fullDuplex_);
}

void PageModel::useCal() {
    measure_.calOn = !measure_.calOn;
    setLamp(Lamp::UseCal, measure_.calOn);
}

void PageModel::offsetDb() {
    takeOffset();
    measure_.offsetOn = !measure_.offsetOn;
    setLamp(Lamp::Offset, measure_.offsetOn);
}

// A row whose take failed keeps its calibration: its empty boxes are no
// measurement of 0 dB.
void PageModel::setCal() {
    for (int r = 1; r <= kRows; ++r)
        if (!takeFailed_[r])
            setCalRow(measure_, r, c_.left[r], c_.right[r]);
}

bool PageModel::viewGraph() {
    std::vector<GraphRow> rows(kRows);
    for (int r = 1; r <= kRows; ++r)
        rows[r - 1] = {c_.left[r], c_.right[r], t_.frequency[r],
                       static_cast<std::int16_t>(takeFailed_[r] ? 0 : t_.include[r])};
    ensureDataDir();
    if (writeGraphData(path("wavgraphdata"), rows))
        return true;
    c_.status = "    Cannot write the graph data file.";
    return false;
}

} // namespace qelvar::construct

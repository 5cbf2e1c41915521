// Full-duplex measurement on the page: the recording calls around each
// step, the reading boxes, calibration and the graph data file.
#include "construct/page_model.h"

#include "common/files.h"
#include "construct/measure/calibration.h"
#include "construct/measure/graphdata.h"

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

void PageModel::endStepRecording() {
    snd_.mciSendString(audio::kStopCapture);
    snd_.mciSendString(std::string(audio::kSaveCapturePrefix) + captureFile(stepIndex_ - 1));
    snd_.mciSendString(audio::kCloseAll);
    peakread();
}

void PageModel::peakread() {
    const int k = stepIndex_;
    if (k < 1)
        return;
    const int N = k - 1;
    const Reading r = construct::peakread(captureFile(N), N, measure_);
    if (k > 1 && N <= kRows) {
        c_.left[N] = readingText(r.left);
        c_.right[N] = readingText(r.right);
    }
}

void PageModel::fullDuplex() {
    fullDuplex_ = fullDuplex_ == 1 ? 0 : 1;
    setLamp(Lamp::FullDuplex, fullDuplex_ == 1);
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

void PageModel::setCal() {
    construct::setCal(measure_, std::span<const std::string>(c_.left.data() + 1, kRows),
                      std::span<const std::string>(c_.right.data() + 1, kRows));
}

bool PageModel::viewGraph() {
    std::vector<GraphRow> rows(kRows);
    for (int r = 1; r <= kRows; ++r)
        rows[r - 1] = {c_.left[r], c_.right[r], t_.frequency[r], t_.include[r]};
    ensureDataDir();
    if (writeGraphData(path("wavgraphdata"), rows))
        return true;
    c_.status = "    Cannot write the graph data file.";
    return false;
}

} // namespace qelvar::construct

// Full-duplex measurement on the page: the takes' readings in the boxes
// and the notes line, the measurement buttons, calibration and the graph
// data file. The recording itself is the measurement's.
#include "construct/page_model.h"

#include "common/files.h"
#include "construct/measure/calibration.h"
#include "construct/measure/graphdata.h"

#include <vector>

namespace qelvar::construct {

// The take is finished by the sound layer in the background, so a row's
// levels are read once its result is in (at once when it already is). A
// failed take must never pass for a reading: its row is left empty (a
// looped sweep's earlier reading of the row goes too), and SET CAL and
// VIEW GRAPH leave it out. VIEW GRAPH during a sweep plots only the rows
// measured so far: an empty box is no reading of 0 dB.
void PageModel::pollTakes() {
    const std::vector<int> settled = m_.poll();
    for (int row : settled) {
        if (m_.failed(row)) {
            c_.left[row].clear();
            c_.right[row].clear();
        } else {
            showReading(row);
        }
    }
    if (!settled.empty())
        c_.measureNotes = m_.notes();
}

void PageModel::showReading(int row) {
    const Reading r = construct::peakread(captureFile(row), row, m_.settings());
    c_.left[row] = readingText(r.left);
    c_.right[row] = readingText(r.right);
}

void PageModel::fullDuplex() {
    m_.setFullDuplex(!m_.fullDuplex());
    setLamp(Lamp::FullDuplex, m_.fullDuplex());
}

void PageModel::useCal() {
    MeasureSettings& s = m_.settings();
    s.calOn = !s.calOn;
    setLamp(Lamp::UseCal, s.calOn);
}

void PageModel::offsetDb() {
    takeOffset();
    MeasureSettings& s = m_.settings();
    s.offsetOn = !s.offsetOn;
    setLamp(Lamp::Offset, s.offsetOn);
}

// A row whose take failed keeps its calibration: its empty boxes are no
// measurement of 0 dB.
void PageModel::setCal() {
    for (int r = 1; r <= kRows; ++r)
        if (!m_.failed(r))
            setCalRow(m_.settings(), r, c_.left[r], c_.right[r]);
}

bool PageModel::viewGraph() {
    std::vector<GraphRow> rows(kRows);
    for (int r = 1; r <= kRows; ++r)
        rows[r - 1] = {c_.left[r], c_.right[r], t_.frequency[r],
                       static_cast<std::int16_t>(m_.plottable(r) ? t_.include[r] : 0)};
    ensureDataDir();
    if (writeGraphData(path("wavgraphdata"), rows))
        return true;
    c_.status = "    Cannot write the graph data file.";
    return false;
}

} // namespace qelvar::construct

// THD+N against frequency, read from the page's takes of the sweep.
#include "graph/graph_model.h"

#include "audio/wav_reader.h"
#include "report/channels.h"
#include "report/tone_figures.h"

#include <string>
#include <vector>

namespace qelvar::graph {

void GraphModel::readThdN() {
    for (std::size_t i = 1; i <= kSteps; ++i) {
        thdnRead[i] = false;
        thdnL[i] = thdnR[i] = 0;
        if (rowflag[i] != 1 || freq[i] <= 0)
            continue;
        const auto take = audio::readClip(folder + "/wavrec" + std::to_string(i) + ".wav");
        if (!take || take->frames() < 1024)
            continue;
        const auto t = report::splitStereo(take->samples);
        thdnL[i] = static_cast<float>(report::analyseTone(t.left, 44100, freq[i]).thdnDb);
        thdnR[i] = static_cast<float>(report::analyseTone(t.right, 44100, freq[i]).thdnDb);
        thdnRead[i] = true;
    }
}

void GraphModel::plotThdN(bool on) {
    showThdN = on;
    if (on)
        readThdN();
    clearSurface();
    scaleme();
    graphdata();
}

} // namespace qelvar::graph

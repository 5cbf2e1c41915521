// THD+N against frequency, read from the page's takes of the sweep.
#include "graph/graph_model.h"

#include "audio/wav_reader.h"
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
        std::vector<double> l, r;
        l.reserve(take->frames());
        r.reserve(take->frames());
        for (std::size_t k = 0; k + 1 < take->samples.size(); k += 2) {
            l.push_back(take->samples[k] / 2147483648.0);
            r.push_back(take->samples[k + 1] / 2147483648.0);
        }
        thdnL[i] = static_cast<float>(report::analyseTone(l, 44100, freq[i]).thdnDb);
        thdnR[i] = static_cast<float>(report::analyseTone(r, 44100, freq[i]).thdnDb);
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

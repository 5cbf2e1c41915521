// sweep.pdf: a sweep measurement on one A4 page for people: what was
// measured and how, the figures of each channel, and the views' plots.
#pragma once

#include "graph/sweep_curves.h"

#include <string>
#include <vector>

namespace qelvar::graph {

// `lines`: the heading's lines (date, program, device, sweep), then the
// figures, one line each. False when the file could not be written.
bool writeSweepPdf(const std::string& path, const SweepCurves& c,
                   const std::vector<std::string>& lines);

} // namespace qelvar::graph

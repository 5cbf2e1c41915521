#include "construct/page_controls.h"

namespace qelvar::construct {

void PageControls::setInitialTexts() {
    freq.fill("1000");
    attL.fill("-10");
    attR.fill("-10");
    length.fill("100");
    include.fill(true);
    // The pulse row's own texts: the tone burst of 1 kHz, 20 ms at 6 dB
    // down, 480 ms at 26 dB down.
    attL[20] = "6";
    length[20] = "20";
    length[21] = "480";
    attL[21] = "26";
    indicator.fill(kRowIdle);
    left.fill("");
    right.fill("");
    offset = "0";
    scratchpad.clear();
    status.clear();
    measureNotes.clear();
    lamps.fill(kLampOff);
    signalLamps.fill(kLampOff);
}

} // namespace qelvar::construct

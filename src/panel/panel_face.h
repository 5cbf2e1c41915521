// The painted front panel: where the keys, readouts and boxes sit, and the
// drawing of the face itself.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

namespace qelvar::panel {

inline constexpr int kFaceWidth = 577;
inline constexpr int kFaceHeight = 286;

struct KeySpot {
    const char* control; // script name
    const char* caption; // engraved on the key
    QRect area;          // click area, also the painted key
};

// The twelve keys and the knob, in the order of the key table.
inline const KeySpot kKeys[] = {
    {"Label16", "Play", {48, 136, 65, 33}},  {"Label17", "Stop", {136, 136, 57, 33}},
    {"Label35", "L Vol", {48, 176, 65, 33}}, {"Label37", "R Vol", {136, 176, 57, 33}},
    {"Label12", "Mode", {48, 216, 65, 33}},  {"Label14", "S Rate", {136, 216, 57, 33}},
    {"Label34", "", {224, 128, 129, 129}},   {"Label18", "Off", {376, 136, 65, 33}},
    {"Label19", "Min", {456, 136, 65, 33}},  {"Label36", "Freq", {376, 176, 65, 33}},
    {"Label13", "Help", {456, 176, 65, 33}}, {"Label15", "Bits", {376, 216, 65, 33}},
    {"Label21", "User", {456, 216, 65, 33}},
};

inline const QRect kKnobArea{224, 128, 129, 129};
inline const QRect kDisplayGlass{62, 24, 454, 80};

// Readouts Label1..Label7: area and font size.
struct ReadoutSpot {
    QRect area;
    int pixelSize;
    const char* unit; // the fixed caption under it
};
inline const ReadoutSpot kReadouts[] = {
    {{80, 48, 50, 18}, 14, "(L) dB"},   {{144, 48, 52, 18}, 13, "Mode"},
    {{200, 48, 32, 18}, 14, "MEM"},     {{240, 32, 89, 35}, 30, "HERTZ"},
    {{336, 48, 56, 18}, 14, "S. Rate"}, {{400, 48, 32, 18}, 14, "bits"},
    {{448, 48, 50, 18}, 14, "(R) dB"},
};

// The static face (everything but the knob's pointer) at a pixel ratio.
QPixmap paintFace(qreal devicePixelRatio);
// The knob's pointer for memory 1..14, drawn over the face.
void paintKnobPointer(QPainter& p, int memory);

} // namespace qelvar::panel

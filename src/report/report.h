// What a sound-card test run found: the conditions it ran under, the
// sweep, and every single figure with its unit and its warnings.
#pragma once

#include "audio/sound.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::report {

struct Figure {
    std::string key;   // e.g. "thdn_1k_left_db": the name in files and limits
    std::string label; // e.g. "THD+N, 1 kHz, left"
    double value = 0;
    std::string unit; // "dB", "dBFS", "dB(A)", "%"
    // Why the figure may mislead, in words a user can act on.
    std::vector<std::string> warnings;
    // Set by a limits check: the bounds it was held to, and whether it
    // failed them.
    bool checked = false;
    bool failed = false;
    double lowest = 0, highest = 0;
    bool hasLowest = false, hasHighest = false;
};

struct SweepRow {
    double hz = 0;
    double levelL = 0, levelR = 0; // dB relative to the level played
    double thdnL = 0, thdnR = 0;   // dB relative to the fundamental
    std::vector<std::string> warnings;
    bool failed = false; // outside the response band of a limits file
};

struct Conditions {
    std::string program;            // "qelvar 1.2.3"
    std::string date;               // ISO 8601, UTC
    std::string device;             // the sound path, as the backend describes it
    int signalRate = 44100;         // what the files hold
    int deviceRate = 0;             // what the device runs at
    std::int64_t latencyFrames = 0; // round trip at the signal's rate
    bool latencyMeasured = false;
    std::string polarity; // "normal" or "inverted"
    bool channelsSwapped = false;
    int bits = 16;            // of the take (of the signal where no take came back)
    int deviceBits = 0;       // of the devices' own formats; 0: not known
    double signalSeconds = 0; // the test signal's length
    double runSeconds = 0;    // from its first frame sent to the figures
    int takes = 0;            // times the signal was played (a spoilt take is played again)
};

// A spectrum of one part of the test signal's take (the left channel), for
// people to look at: the level in dBFS of what lies within the window's
// main lobe around each frequency (a tone reads its own level), the
// highest of each 1/96 octave.
struct SpectrumPlot {
    std::string title;
    std::vector<double> hz, dbfs;
};

// The response read from the test signal's sweep, against its level at
// 1 kHz, at 1/48 octave from 20 Hz.
struct ResponseCurve {
    std::vector<double> hz;
    std::array<std::vector<double>, 2> db;
};

struct Report {
    Conditions conditions;
    std::vector<SweepRow> sweep;
    ResponseCurve curve;
    std::vector<Figure> figures;
    // The 1 kHz tone, the -60 dBFS tone, the silence, SMPTE and CCIF.
    std::vector<SpectrumPlot> spectra;
    // What of the set-up the figures depend on (volumes, effects, levels,
    // hum, wiring): findings first, then notes.
    std::vector<audio::SetupNote> setup;
    // Why the take failed; then there are no figures.
    std::string failure;
    // Why the take the figures come from may mislead (the input reached
    // full scale, or a timing fault no second play got rid of); empty for
    // a good take.
    std::string takeWarning;
    // A limits file was applied, and what it made of the unit.
    bool limitsApplied = false;
    bool passed = true;

    const Figure* figure(const std::string& key) const {
        for (const auto& f : figures)
            if (f.key == key)
                return &f;
        return nullptr;
    }
};

} // namespace qelvar::report

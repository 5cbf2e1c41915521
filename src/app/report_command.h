// `qelvar --report DIR [--limits FILE]`: the sound-card test run without a
// window. Writes report.json, report.csv and report.pdf into DIR and says
// on standard output what it found. `qelvar --check`, the set-up check.
#pragma once

#include "audio/sound.h"
#include "report/limits.h"

#include <QString>

#include <optional>

namespace qelvar::app {

// Exit statuses of a report run.
inline constexpr int kReportPassed = 0; // or no limits were given
inline constexpr int kReportFailedLimits = 1;
inline constexpr int kReportCouldNotRun = 2; // no figures, or files not written

// Runs the test through `snd` with the event loop of the running
// application and returns the exit status.
int runReport(audio::SoundServices& snd, const QString& dir,
              const std::optional<report::Limits>& limits);

// Exit statuses of a set-up check.
inline constexpr int kCheckClean = 0;
inline constexpr int kCheckFound = 1;       // a set-up warning, at least one
inline constexpr int kCheckCouldNotRun = 2; // nothing found, but the tones were not read

// `qelvar --check`: what the server says of the devices, then a short
// signal played and recorded (the tone's level, the channels, hum and DC),
// set-up warnings and notes on standard output. Returns the exit status.
int runCheck(audio::SoundServices& snd);

// `qelvar --sweep DIR`: the response from a synchronized exponential sweep
// of `seconds` played `averages` times; sweep.csv, sweep.json and
// impulse.wav into DIR. The exit statuses of a report run.
int runSweep(audio::SoundServices& snd, const QString& dir, double seconds, int averages,
             const std::optional<report::Limits>& limits = std::nullopt);

// Reads a limits file; on a fault prints why and returns nullopt.
std::optional<report::Limits> readLimitsFile(const QString& path);

} // namespace qelvar::app

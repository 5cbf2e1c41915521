// The page's build buttons and the player calls around them: BUILD,
// AUTOBUILD ALL FREQS and PULSE. The step builder makes the bytes.
#include "construct/page_model.h"

#include "common/files.h"

namespace qelvar::construct {

// Only one test signal is on at a time; the order here is the one the
// waveform was chosen in when flags were plain numbers.
BuildMode PageModel::buildMode(bool pulse) const {
    BuildMode m;
    if (signalFlag(Signal::Smpte))
        m.wave = Waveform::Smpte;
    else if (signalFlag(Signal::Ccif))
        m.wave = Waveform::Ccif;
    else if (signalFlag(Signal::Square))
        m.wave = Waveform::Square;
    else if (signalFlag(Signal::Triangle))
        m.wave = Waveform::Triangle;
    m.whiteNoise = signalFlag(Signal::White);
    m.pulse = pulse;
    return m;
}

bool PageModel::buildwav(int step, const std::string& file, bool pulse) {
    const StepFile f = builder_.build(t_, step, buildMode(pulse), {c_.attL, c_.attR});
    if (f.outcome == StepFile::Outcome::Refused) {
        c_.status = f.why;
        return false;
    }
    Stopplay();
    if (f.outcome == StepFile::Outcome::TooLong) {
        c_.status = f.why;
        return false;
    }
    return writeFile(file, f.bytes);
}

bool PageModel::writeFile(const std::string& name, std::span<const std::uint8_t> bytes) {
    if (qelvar::overwriteFile(name, bytes))
        return true;
    c_.status = "    Cannot write " + name;
    return false;
}

void PageModel::playloop(const std::string& file) {
    snd_.playSound(file, audio::kLoopFile);
}

void PageModel::Stopplay() {
    snd_.playSound(path("stopwav.wav"), audio::kPlayOnce);
    snd_.playSound("0", audio::kPurgeAll);
    snd_.mciSendString(audio::kCloseAll);
}

// --- Buttons -------------------------------------------------------------

void PageModel::build(int row) {
    if (row < 1 || row > kPulseOn)
        return;
    builder_.setCurrentStep(row); // update() fills in this step's defaults
    update();
    buildwav(row, stepFile(row), row == kPulseOn);
    if (row == kPulseOn) {
        setLamp(Lamp::Pulse, true);
        playloop(stepFile(kPulseOn));
    }
}

// No update(): the frequencies and lengths are those last taken in, the
// attenuations are read from the boxes by the build itself.
void PageModel::autobuildAll() {
    bool ok = true;
    for (int r = 1; r <= kRows; ++r)
        ok = buildwav(r, stepFile(r)) && ok;
    if (ok)
        c_.status = "    All files created.";
}

void PageModel::pulse() {
    Stopplay();
    seq_.halt();
    setLamp(Lamp::Play, false);
    allRowsIdle();
    if (pulsePlaying_) {
        pulsePlaying_ = false;
        setLamp(Lamp::Pulse, false);
        Stopplay();
        return;
    }
    pulsePlaying_ = true;
    setLamp(Lamp::Pulse, true);
    playloop(stepFile(kPulseOn));
}

} // namespace qelvar::construct

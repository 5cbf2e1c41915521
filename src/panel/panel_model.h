// The oscillator panel as data: the memories, the tone image, the readout
// captions, the three entry boxes and the lamp, with the panel's routines
// and key actions. The window only shows this state and forwards clicks.
#pragma once

#include "audio/sound.h"
#include "panel/memories.h"
#include "panel/tone.h"

#include <array>
#include <string>

namespace qelvar::panel {

// One of the three entry keys (Freq, L Vol, R Vol) with its box.
struct Entry {
    bool inProgress = false; // the entry flag; the box is shown while set
    std::string text;        // the box's text, empty before its first use
    std::string before;      // the text when the entry began, for a cancel
};

class PanelModel {
  public:
    // Runs the start-up sequence: start values, data directory, set-up
    // file, constant header, `update`. Nothing plays; the lamp is hidden.
    PanelModel(audio::SoundServices& snd, std::string dataDir);

    // Routines of the panel, working on the current memory.
    void update();
    void buildwav();
    void readdisplay();
    void playtest();
    void Stopplay();

    // Key actions.
    void play();
    void stop();
    void nextMode();
    void nextRate();
    void nextBits();
    void knob();
    void freqKey();
    void leftVolKey();
    void rightVolKey();
    // Off: stops the tone and saves the memories. The window closes itself
    // afterwards. False, with a status line, when the set-up file could
    // not be written.
    bool off();
    // Leaves the entry in progress on `box` without accepting it: the box
    // gets back the text it had when the entry began and is hidden; the
    // readouts keep their values. Nothing plays and nothing is written.
    void cancelEntry(Entry& box);
    // The sound layer lost its device: the tone no longer plays, so the
    // lamp goes out. Nothing is sent to the player, nothing written.
    void soundStopped() { lamp_ = false; }

    // Readout captions Label1..Label7 (index 0 unused).
    const std::string& label(int i) const { return labels_.at(static_cast<std::size_t>(i)); }
    Entry& freqBox() { return freq_; }
    Entry& leftBox() { return left_; }
    Entry& rightBox() { return right_; }
    const Entry& freqBox() const { return freq_; }
    const Entry& leftBox() const { return left_; }
    const Entry& rightBox() const { return right_; }

    bool lampShown() const { return lamp_; }
    const std::string& playName() const { return playName_; }
    long playerResult() const { return playerResult_; }
    // Why the last build's tone file (or the memories at Off) could not be
    // written; empty while all is well.
    const std::string& status() const { return status_; }

    Memories& memories() { return mem_; }
    const Memories& memories() const { return mem_; }
    const Tone& tone() const { return tone_; }
    const std::string& dataDir() const { return dir_; }
    std::string path(const char* name) const { return dir_ + "/" + name; }

  private:
    enum class Side { Left, Right };
    void haltTone();    // stop: Stopplay, lamp off
    void rebuildPlay(); // readdisplay, update, playtest, lamp on
    void entryKey(Entry& box, void (PanelModel::*accept)());
    void acceptFreq();
    void acceptLeft();
    void acceptRight();
    void acceptVolume(Entry& box, Side side);

    audio::SoundServices& snd_;
    std::string dir_;
    Memories mem_;
    Tone tone_;
    std::array<std::string, 8> labels_{"",      "VOL L",  "MODE", "SEL",
                                       "20000", "SMPLRT", "BITS", "R VOL"};
    Entry freq_, left_, right_;
    bool lamp_ = false;
    std::string playName_;
    long playerResult_ = 0;
    std::string status_;
};

// Attenuation in dB of a linear gain, as the readouts show it ("##.#").
std::string attenuationText(double gain);

} // namespace qelvar::panel

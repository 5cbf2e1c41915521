// The construction page as data and routines: the sweep table, the page's
// controls and its set-up file, joined to the step builder, the sequencer
// and the measurement. The window only shows `controls()` and forwards
// clicks, typing and timer ticks; nothing here needs a display.
#pragma once

#include "audio/sound.h"
#include "construct/measure/measure.h"
#include "construct/measurement.h"
#include "construct/noise/noise_run.h"
#include "construct/noise/uniform_source.h"
#include "construct/page_controls.h"
#include "construct/sequencer.h"
#include "construct/step_builder.h"
#include "construct/step_table.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qelvar::construct {

class PageModel {
  public:
    // `dataDir` is the folder every file of the page lives in.
    PageModel(audio::SoundServices& snd, std::string dataDir);
    explicit PageModel(audio::SoundServices& snd);

    // Page open: start-up values, set-up file, update2, calibration file,
    // constant header bytes. The timer stays stopped.
    void open();

    PageControls& controls() { return c_; }
    const PageControls& controls() const { return c_; }
    StepTable& table() { return t_; }
    const StepTable& table() const { return t_; }
    const StepBuilder& builder() const { return builder_; }
    const std::string& dataDir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string stepFile(int step) const;
    std::string captureFile(int step) const;

    // --- Buttons ---------------------------------------------------------
    void build(int row); // 1..20, or kPulseOn for the pulse row
    void autobuildAll();
    void pulse();
    // Saves both files; the window then closes. False (and a status line)
    // when a file could not be written, so the page can stay open.
    bool off();
    void pasteToNotes();
    void lOff() { setColumn(true, 99); }
    void rOff() { setColumn(false, 99); }
    void lOn() { setColumn(true, 0); }
    void rOn() { setColumn(false, 0); }

    void play();
    void stop();
    void loop();
    void step();
    void tick();
    // Timer interval in ms; 0 = stopped.
    int interval() const { return seq_.interval(); }
    static constexpr int kOpeningWaitTicks = Sequencer::kOpeningWaitTicks;

    // Takes are finished by the sound layer after "save capture": each
    // recorded row waits here until its result is known. pollTakes() asks
    // for them; a usable take shows its levels, a failed one leaves the
    // row's boxes empty. Both name the row in the notes line unless good.
    // The window polls while takesPending() holds.
    void pollTakes();
    bool takesPending() const { return m_.pending(); }
    // Row r (1..20) has no reading in this run because its take failed.
    bool rowFailed(int r) const { return m_.failed(r); }
    bool rowMarked(int r) const { return m_.marked(r); }

    void fullDuplex();
    void useCal();
    void offsetDb();
    void setCal();
    // Writes the graph data file; false when it could not be written.
    bool viewGraph();

    // Test signals (signals.cpp): a press toggles B; turning one on turns
    // the other nine off, then builds and loops B's signal.
    void testSignal(Signal b);
    // NOISE FILE CREATION: the six noise files from the page's buffer. A
    // file that cannot be written ends the run with a status line naming
    // it; the files before it stay.
    void noiseFileCreation();
    // The source the run draws from; the program's is seeded from the
    // clock on first use, tests give a fixed seed.
    void setNoiseSource(std::unique_ptr<noise::UniformSource> rng) {
        noiseSource_ = std::move(rng);
    }

    // --- Routines --------------------------------------------------------
    void update();
    void update2();
    void update3();
    // Builds `step` with the test signal that is on, stops playback and
    // writes the file to `file`. False, with a status line, when no file
    // was written.
    bool buildwav(int step, const std::string& file, bool pulse = false);
    void playloop(const std::string& file);
    void Stopplay();

    // --- State -----------------------------------------------------------
    int currentStep() const { return builder_.currentStep(); }

    // Test-signal flags (the waveform mode of every build).
    bool signalFlag(Signal s) const { return signal_[static_cast<int>(s)]; }
    void setSignalFlag(Signal s, bool on);

    int stepIndex() const { return seq_.stepIndex(); }
    int previousStep() const { return seq_.previousStep(); }
    bool playing() const { return seq_.playing(); }
    bool loopOn() const { return seq_.loopOn(); }
    bool pulsePlaying() const { return pulsePlaying_; }
    bool fullDuplexOn() const { return m_.fullDuplex(); }
    bool useCalOn() const { return m_.settings().calOn; }
    bool offsetOn() const { return m_.settings().offsetOn; }
    float offsetDbValue() const { return m_.offsetDb(); }
    MeasureSettings& measurement() { return m_.settings(); }
    const std::string& scratchpad() const { return scratch_; }

  private:
    void setColumn(bool left, int db);
    void allRowsIdle();
    void setLamp(Lamp l, bool on);
    void takeInRow(int i, bool ownRightTest);
    void takeOffset();
    BuildMode buildMode(bool pulse) const;
    bool writeFile(const std::string& name, std::span<const std::uint8_t> bytes);
    void perform(const SeqActions& actions);
    void showReading(int row);
    void loadFiles();
    bool saveFiles();

    audio::SoundServices& snd_;
    std::string dir_;
    PageControls c_;
    StepTable t_;
    StepBuilder builder_;
    std::array<bool, kSignalCount> signal_{};

    Sequencer seq_;
    bool pulsePlaying_ = false;

    Measurement m_;
    std::string scratch_;

    // Noise creation: its arrays (about 15 MB) are made on the first run.
    std::unique_ptr<noise::UniformSource> noiseSource_;
    std::unique_ptr<noise::NoiseRun> noiseRun_;
};

} // namespace qelvar::construct

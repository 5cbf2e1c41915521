// The step builder: one step of the table turned into a step file's bytes
// (a looping tone, a test waveform or the pulse row's burst), built in the
// page's file image. The caller stops playback and writes the bytes.
#pragma once

#include "construct/step_table.h"
#include "formats/wav.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qelvar::construct {

enum class Waveform { Sine, Square, Triangle, Smpte, Ccif };

struct BuildMode {
    Waveform wave = Waveform::Sine;
    // WHT on: every build becomes one second of 1 Hz at step 0.
    bool whiteNoise = false;
    // The pulse row's BUILD: a burst of on and off blocks.
    bool pulse = false;
};

// The attenuation boxes a build reads its gains from: element r − 1 is
// step r's, element 21 of `left` is Att-off.
struct AttBoxes {
    std::span<const std::string> left;
    std::span<const std::string> right;
};

struct StepFile {
    enum class Outcome {
        Ready,   // `bytes` is the file
        Refused, // no file, and nothing was stopped
        TooLong, // a burst too long to write; playback is stopped all the same
    };
    Outcome outcome = Outcome::Ready;
    std::vector<std::uint8_t> bytes;
    std::string why; // the status line when not Ready
};

// What one build leaves for the next. SQUARE and TRIANGLE build at the step
// the last build ended on (22 after a pulse build, 0 after SMPTE or CCIF),
// and a gain keeps its value while its box is out of range.
struct BuildCarry {
    int currentStep = 1;
    std::array<double, kSteps> gainL{}; // 0 until a build sets them
    std::array<double, kSteps> gainR{};
};

class StepBuilder {
  public:
    // Elements 0..3000000 of the file image buffer.
    static constexpr std::size_t kImageLast = 3000000;

    // Page open: step 1, gains 0, the constant header bytes.
    void open();

    // Builds `step` (1..22) into the image. The table's step entries get
    // their defaults, the pulse lengths become cycle counts, and
    // SMPTE, CCIF and WHT move the build to step 0.
    StepFile build(StepTable& t, int step, BuildMode mode, AttBoxes boxes);

    const BuildCarry& carry() const { return carry_; }
    int currentStep() const { return carry_.currentStep; }
    void setCurrentStep(int n) { carry_.currentStep = n; }
    // The noise run shares the image and draws its white noise at step 0's
    // gains of 1, which later WHT builds keep.
    wav::FileImage& image() { return image_; }
    void afterNoiseRun() { carry_.gainL[0] = carry_.gainR[0] = 1; }

  private:
    // What lengthdata leaves: the step the data is built at (0 for the
    // test signals that move it), its data length and its cycle count.
    struct Length {
        int step;
        std::int32_t L;
        int cycles;
    };
    Length lengthdata(StepTable& t, int n, BuildMode mode);
    std::int32_t rifflength(const StepTable& t, std::int32_t L, bool pulse);
    void byterate(std::int32_t rate);
    void blockalign();
    void datacalc(int n, std::int32_t L, int cycles, Waveform w);
    void applyGain(int n, AttBoxes boxes);
    StepFile refused(const StepTable& t, int n) const;
    std::int32_t pulseLength(const StepTable& t, double L1) const;
    std::int32_t pulseBlock(const StepTable& t, std::int32_t L) const;
    StepFile pulseFile(const StepTable& t, std::int32_t B, int cycles, Waveform w, AttBoxes boxes);

    BuildCarry carry_;
    wav::FileImage image_{kImageLast};
};

} // namespace qelvar::construct

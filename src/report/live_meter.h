// What the live input window shows, worked out from the input's latest
// frames: each channel's peak and RMS in dBFS with a clip that holds until
// reset, and a spectrum averaged over the last updates, with its peaks
// held. Plain C++, fed by a timer; the window only paints it.
#pragma once

#include "audio/sound.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qelvar::report {

class LiveMeter {
  public:
    // Frames each spectrum is read from: 186 ms, bins of 5.4 Hz, enough to
    // tell 50 Hz hum from its neighbours.
    static constexpr std::size_t kFftFrames = 8192;
    // RMS over the last 300 ms, as a level meter's integration time.
    static constexpr std::size_t kRmsFrames = 13230;
    // At or above this the channel clipped (the clip lamp holds).
    static constexpr double kClipDbfs = -0.1;
    // Below this a level shows as nothing.
    static constexpr double kFloorDbfs = -160;

    // The frames that came in since the last feed count for the peak;
    // the last kRmsFrames for the RMS, the last kFftFrames for the spectrum.
    void feed(const audio::InputTail& tail);
    void resetClip() { clipped_ = {false, false}; }
    void resetPeakHold();
    // Exponential averaging of successive spectra: 1 takes each as it comes.
    void setAveraging(double weightOfNew) { weight_ = weightOfNew; }

    double peakDbfs(int ch) const { return peak_[ch]; }
    double rmsDbfs(int ch) const { return rms_[ch]; }
    bool clipped(int ch) const { return clipped_[ch]; }
    // Power per bin in dBFS (a full-scale sine's bins sum to 0 dBFS), from
    // 0 Hz in steps of binHz(); empty until the first full window.
    const std::vector<double>& spectrumDb(int ch) const { return spectrum_[ch]; }
    const std::vector<double>& peakHoldDb(int ch) const { return hold_[ch]; }
    double binHz() const { return 44100.0 / kFftFrames; }
    // The strongest bin's frequency and level of channel ch (the window's
    // main lobe summed): what a tone reads at.
    double toneHz(int ch) const;
    double toneDbfs(int ch) const;

    // The 1/3-octave bands from 20 Hz to 20 kHz (ISO centres 20 ... 20000)
    // and channel ch's averaged power in each, dBFS.
    static const std::vector<double>& thirdOctaveCentres();
    std::vector<double> thirdOctaveDb(int ch) const;

  private:
    std::int64_t seen_ = -1; // input frame up to which the peak has counted
    std::array<double, 2> peak_{kFloorDbfs, kFloorDbfs}, rms_{kFloorDbfs, kFloorDbfs};
    std::array<bool, 2> clipped_{};
    std::array<std::vector<double>, 2> power_, spectrum_, hold_;
    double weight_ = 0.3;
};

} // namespace qelvar::report

// The real sound services: one full-duplex PortAudio stream (44100 Hz,
// 16-bit stereo) that loops the requested WAV file on its output and
// keeps its input for the recorder, both counted on one frame counter.
//
// PortAudio is initialised and the stream opened on a worker thread, never
// on the caller's: a hung sound server can hold Pa_Initialize for two
// minutes. Every call returns within milliseconds; while there is no
// stream yet, or none can be had, calls fail and change nothing, except
// that the latest play request waits for the stream and starts with it.
#pragma once

#include "audio/sound.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qelvar::audio {

struct DeviceInfo {
    std::string name;
    int inputs = 0;
    int outputs = 0;
};

class PortAudioSound : public SoundServices {
  public:
    struct Options {
        // Substrings of the device names to use (case ignored); empty: the
        // system's default devices.
        std::string outputDevice;
        std::string inputDevice;
    };

    enum class State { Opening, Measuring, Ready, Failed };

    PortAudioSound() : PortAudioSound(Options{}) {}
    explicit PortAudioSound(Options options);
    ~PortAudioSound() override;
    PortAudioSound(const PortAudioSound&) = delete;
    PortAudioSound& operator=(const PortAudioSound&) = delete;

    long playSound(const std::string& name, unsigned flags) override;
    long mciSendString(const std::string& command, std::string* returnBuffer = nullptr) override;
    std::string statusText() const override;

    State state() const;
    // Waits until the stream is ready or has failed; true when ready. For
    // tools and tests, never the GUI thread.
    bool waitReady(std::chrono::milliseconds timeout) const;
    // Round trip from output to input in frames, and whether it was found
    // in the signal (false: the host's own estimate).
    std::int64_t latencyFrames() const;
    bool latencyMeasured() const;
    // Buffer troubles reported by the device; a take spanning one is not exact.
    std::int64_t inputOverflows() const;
    std::int64_t outputUnderflows() const;
    // Frames the last "stop capture" kept.
    std::int64_t keptFrames() const;
    // The round trip the last saved take was cut at, and whether it was
    // found in that take's own signal (false: the last one found, or the
    // stream's).
    std::int64_t takeLag() const;
    bool takeLagFound() const;

    // Devices with at least one input or output channel. Initialises
    // PortAudio itself, so it may block as long as a hung server does:
    // call it off the GUI thread and not while a stream is starting.
    static std::vector<DeviceInfo> listDevices();

    struct Core;

  private:
    static constexpr std::chrono::seconds kOpeningPatience{5};
    std::shared_ptr<Core> core_;
    std::chrono::steady_clock::time_point created_;
};

} // namespace qelvar::audio

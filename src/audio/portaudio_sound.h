// The fallback sound path for a machine without a PulseAudio or PipeWire
// server (plain ALSA): one full-duplex PortAudio stream at 44100 Hz, 16-bit
// stereo, whose input and output share one frame counter.
//
// PortAudio is initialised and the stream opened on the engine's worker,
// never on the caller's thread: a hung sound server can hold Pa_Initialize
// for two minutes.
#pragma once

#include "audio/devices.h"
#include "audio/engine.h"

#include <string>
#include <vector>

namespace qelvar::audio {

class PortAudioSound : public EngineSound {
  public:
    using Options = SoundOptions;

    PortAudioSound() : PortAudioSound(Options{}) {}
    explicit PortAudioSound(Options options);

    // Devices with at least one input or output channel. Initialises
    // PortAudio itself, so it may block as long as a hung server does:
    // call it off the GUI thread and not while a stream is starting.
    static std::vector<DeviceInfo> listDevices();
};

// Runs the fallback path on `engine` until it is shut down or fails.
void runPortAudio(Engine& engine, const SoundOptions& options);

} // namespace qelvar::audio

// The sound path on a desktop: a native client of the PulseAudio protocol,
// which PulseAudio and PipeWire (pipewire-pulse) both serve. Two streams,
// one playing and one recording, each at the device's own rate; the
// program converts between that rate and its 44100 frames a second itself
// (libsoxr, very high quality), so that the server passes the signal
// through untouched. At 44100 nothing is converted and a digital loopback
// comes back bit for bit.
//
// The server is reached and the streams opened on the engine's worker, never
// on the caller's thread.
#pragma once

#include "audio/devices.h"
#include "audio/engine.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qelvar::audio {

class PulseSound : public EngineSound {
  public:
    using Options = SoundOptions;

    PulseSound() : PulseSound(Options{}) {}
    explicit PulseSound(Options options);

    std::vector<SetupNote> setupNotes() const override;

    // Whether a server answers within `timeout`.
    static bool serverAnswers(std::chrono::milliseconds timeout);
    // The server's sinks (outputs) and sources (inputs, monitors among
    // them); nullopt when no server answers within `timeout`.
    static std::optional<std::vector<DeviceInfo>> listDevices(std::chrono::milliseconds timeout);

  private:
    Options options_;
};

// How long the set-up checks wait for the server to answer: they run as
// PLAY is pressed, and a server that hangs is reported by the path itself.
inline constexpr std::chrono::milliseconds kSetupPatience{300};

// What the server says about the devices `options` chooses (the set-up
// notes); nullopt when no server answers within `timeout`.
std::optional<std::vector<SetupNote>> checkPulseSetup(const SoundOptions& options,
                                                      std::chrono::milliseconds timeout);

// Runs the path on `engine` until it is shut down or the server goes away.
// False, with nothing reported, when no server is there at all (no socket
// to reach): the caller may try plain ALSA instead.
bool runPulse(Engine& engine, const SoundOptions& options);

// The sound path the program uses: the desktop's sound server when there
// is one, else plain ALSA through PortAudio.
class SystemSound : public EngineSound {
  public:
    explicit SystemSound(SoundOptions options);

    // The server's notes; none on plain ALSA.
    std::vector<SetupNote> setupNotes() const override;

  private:
    SoundOptions options_;
};

} // namespace qelvar::audio

// A connection to a sound server that speaks the PulseAudio protocol
// (PulseAudio itself, or PipeWire through pipewire-pulse): the threaded
// main loop, the context, and the questions the program asks the server
// (its rate, its default devices, its sinks and sources).
#pragma once

#include "audio/devices.h"
#include "audio/setup_facts.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;

namespace qelvar::audio {

struct PulseServer {
    std::string defaultSink;
    std::string defaultSource;
    int rate = 0; // the server's own rate (PipeWire: its graph's)
};

class PulseClient {
  public:
    PulseClient();
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // Connects to the server PULSE_SERVER names, or the user's own; never
    // starts one. False when none answers within `timeout`.
    bool connect(std::chrono::milliseconds timeout);
    bool alive() const;
    // Whether the last connect gave up waiting (a server that hangs) rather
    // than finding no server.
    bool timedOut() const { return timedOut_; }

    PulseServer server();
    // By the server's name ("alsa_output.usb-...") and description ("USB
    // Audio Analog Stereo"); a sink's channels are outputs, a source's inputs.
    std::vector<DeviceInfo> sinks();
    std::vector<DeviceInfo> sources();

    // What the server says about one sink or source (by name) that the
    // set-up checks judge; nullopt when there is none of that name.
    std::optional<DeviceFacts> sinkFacts(const std::string& name);
    std::optional<DeviceFacts> sourceFacts(const std::string& name);
    // The device that a PipeWire filter's other end (a stream of the same
    // link group) plays to (`playback`) or records from; "" when none.
    std::string linkedDevice(const std::string& linkGroup, bool playback);
    // A module's name ("module-ladspa-sink") by its index; "" when none.
    std::string moduleName(std::uint32_t index);

    pa_threaded_mainloop* loop() { return loop_; }
    pa_context* context() { return context_; }

  private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
    bool timedOut_ = false;
};

} // namespace qelvar::audio

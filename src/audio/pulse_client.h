// A connection to a sound server that speaks the PulseAudio protocol
// (PulseAudio itself, or PipeWire through pipewire-pulse): the threaded
// main loop, the context, and the questions the program asks the server
// (its rate, its default devices, its sinks and sources).
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;

namespace qelvar::audio {

struct PulseDevice {
    std::string name;        // the server's name, e.g. "alsa_output.usb-..."
    std::string description; // what the desktop shows, e.g. "USB Audio Analog Stereo"
    int rate = 0;
    int channels = 0;
};

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
    std::vector<PulseDevice> sinks();
    std::vector<PulseDevice> sources();

    pa_threaded_mainloop* loop() { return loop_; }
    pa_context* context() { return context_; }

  private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
    bool timedOut_ = false;
};

// The device whose name or description holds `want` (case ignored); the
// first one when several do. Empty `want`: `fallback` (the default).
const PulseDevice* matchPulseDevice(const std::vector<PulseDevice>& devices,
                                    const std::string& want, const std::string& fallback);

} // namespace qelvar::audio

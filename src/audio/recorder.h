// The command-string recorder: one capture device with the alias
// "capture", fed from the input history. A recording is lined up with the
// sound being played: it covers the output frames from where that sound
// (or its latest loop) began to where the recording was stopped, as they
// come back from the device. The round trip is found again for every take
// by matching the output history against the input, since the sound
// server may drop or insert frames unannounced.
#pragma once

#include "audio/capture_file.h"
#include "audio/frame_ring.h"
#include "audio/lag_finder.h"
#include "audio/player.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace qelvar::audio {

// Error numbers of mciSendString.
inline constexpr long kMciOk = 0;
inline constexpr long kMciErrUnknownCommand = 261;
inline constexpr long kMciErrNotOpen = 263;  // no device with that alias
inline constexpr long kMciErrNoDevice = 266; // no sound device, or not ready yet
inline constexpr long kMciErrCannotSave = 286;
inline constexpr long kMciErrDuplicate = 289; // alias already open

class Recorder {
  public:
    // How far back a recording may reach for the start of a looped sound.
    static constexpr std::int64_t kMaxBack = 44100 * 5;
    // How far the round trip may have moved since the last take.
    static constexpr std::int64_t kSearch = 6144;
    // How far it is looked for when it is not found within that.
    static constexpr std::int64_t kWideSearch = 44100;
    // A match this good (normalised) finds the round trip; below it the
    // last one found (or the stream's) stands.
    static constexpr double kStrong = 0.9;
    // A match this good is the bit-exact loopback itself.
    static constexpr double kExact = 0.99999;
    // Save waits for the end of the take to come back at most this long
    // after "stop capture", so stop and save never hold the caller longer.
    static constexpr int kSaveWaitMs = 400;
    // Frames of a stretch checked for the same round trip at a take's end.
    static constexpr std::int64_t kCheck = 512;

    // `in`: the input history; `out`: the frames rendered, on the same count.
    Recorder(const FrameRing& in, const FrameRing& out, const Player& player)
        : ring_(in), out_(out), player_(player) {}

    // One command; `latency` is the stream's round trip in frames, the
    // first guess for a take's own.
    long command(const std::string& cmd, std::int64_t latency);
    // Moves newly delivered frames of a running recording into the spool
    // (called by the worker every few milliseconds).
    void pump(std::int64_t latency);

    // The frames the last "stop capture" kept (for tests and benches).
    std::int64_t keptFrames() const;
    bool lostFrames() const;
    // The round trip the last saved take was cut at, and whether it was
    // found in that take's own signal.
    std::int64_t takeLag() const;
    bool takeLagFound() const;

  private:
    enum class Mode { Closed, Open, Recording, Stopped };

    long open();
    long record();
    long stop(std::int64_t latency);
    long save(const std::string& path, std::int64_t latency);
    void finish(std::int64_t lag);
    void settle(std::int64_t latency);
    bool awaitInput(std::int64_t frame, std::chrono::steady_clock::time_point deadline) const;
    LagMatch searchLag(std::int64_t expected, std::chrono::steady_clock::time_point deadline);
    bool matchesAt(std::int64_t end, std::int64_t lag) const;
    std::int64_t exactEnd(std::int64_t end, std::int64_t lag) const;
    std::int64_t expectedLag(std::int64_t latency) const;
    void resolveStart();
    void pumpLocked(std::int64_t latency);

    const FrameRing& ring_;
    const FrameRing& out_;
    const Player& player_;
    mutable std::mutex m_;
    Mode mode_ = Mode::Closed;
    CaptureSpool spool_;

    // The current take, in output frames unless named "In".
    std::int64_t awaitSerial_ = -1; // start waits for this play request
    std::int64_t start_ = -1;       // -1 until known
    std::int64_t startSerial_ = 0;
    std::int64_t loopFrames_ = 0; // loop of the sound the take starts on
    bool aligned_ = false;        // start_ is a loop boundary of it
    std::int64_t endIn_ = -1;     // -1 while recording
    std::int64_t stopAt_ = 0;     // output frame of "stop capture"
    std::chrono::steady_clock::time_point stopTime_;
    PlayState stopPlay_; // what was playing then
    bool settled_ = false;
    std::int64_t spoolIn_ = 0; // input frame of the spool's first frame
    std::int64_t spooledIn_ = 0;
    std::int64_t lag_ = 0; // the take's round trip
    bool lagFound_ = false;
    double lagCorr_ = 0;
    std::int64_t tracked_ = -1; // the last round trip found in a take
    std::int64_t kept_ = 0;
    bool lost_ = false;
};

} // namespace qelvar::audio

// The command-string recorder: one capture device with the alias
// "capture", fed from the input history. A recording is lined up with the
// sound being played: it starts at the output frame where that sound (or
// its latest loop) began, shifted by the measured round trip, so its first
// frame is the sound's first frame as it comes back from the device.
#pragma once

#include "panel/sound/capture_file.h"
#include "panel/sound/frame_ring.h"
#include "panel/sound/player.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace qelvar::sound {

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
    // A take shorter than this (or than one loop) is worth waiting for on
    // save, at most kShortTakeWaitMs.
    static constexpr std::int64_t kShortTake = 4410;
    static constexpr int kShortTakeWaitMs = 300;

    Recorder(const FrameRing& ring, const Player& player) : ring_(ring), player_(player) {}

    // One command; `latency` is the round trip in frames.
    long command(const std::string& cmd, std::int64_t latency);
    // Moves newly delivered frames of a running recording into the spool
    // (called by the worker every few milliseconds).
    void pump(std::int64_t latency);

    // The frames the last "stop capture" kept (for tests and benches).
    std::int64_t keptFrames() const;
    bool lostFrames() const;

  private:
    enum class Mode { Closed, Open, Recording, Stopped };

    long open();
    long record();
    long stop(std::int64_t latency);
    long save(const std::string& path, std::int64_t latency);
    void finish(std::int64_t latency);
    void awaitShortTake(std::int64_t latency);
    void resolveStart();
    void pumpLocked(std::int64_t latency);

    const FrameRing& ring_;
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
    PlayState stopPlay_;          // what was playing then
    std::int64_t spooledIn_ = 0;
    std::int64_t kept_ = 0;
    bool lost_ = false;
};

} // namespace qelvar::sound

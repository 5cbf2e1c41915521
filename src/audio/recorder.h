// The command-string recorder: one capture device with the alias
// "capture", fed from the input history. A recording is lined up with the
// sound being played: it covers the output frames from where that sound
// (or its latest loop) began to where the recording was stopped, as they
// come back from the device.
//
// A take is placed by the path's round trip as the broadband probe found
// it, never by its own tone: a tone's match is ambiguous by whole periods
// and biased by the phase of whatever filters the path holds. The
// continuity monitor watches the input for frames dropped, inserted or
// blanked; a take is cut where they broke off, and once they have, the
// round trip is no longer known: later takes look for their own (marked
// suspect where it moved) until the path is lined up again.
//
// "save capture" never waits for the take's tail to come back: the take
// joins a queue the worker finishes once the input holds it, while the next
// take already records. Its result (good, suspect, failed and why) is kept
// by file name.
#pragma once

#include "audio/capture_file.h"
#include "audio/continuity.h"
#include "audio/frame_ring.h"
#include "audio/glitch_log.h"
#include "audio/lag_finder.h"
#include "audio/player.h"
#include "audio/sound.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
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

// What a user reads about a take that went wrong.
inline constexpr const char* kWhyNothingBack =
    "nothing came back from the input; check the input device";
inline constexpr const char* kWhyLost =
    "frames were lost on the way; close busy programs and play again";
inline constexpr const char* kWhySuspended =
    "the sound device was suspended while it played; play again";
inline constexpr const char* kWhyClipped =
    "the input reached full scale; turn the input level down";
inline constexpr const char* kWhyNotSaved =
    "the recording could not be saved; check the data folder";
inline constexpr const char* kWhyNothingPlayed = "the sound never reached the device";
inline constexpr const char* kWhyUnaligned =
    "the recording could not be lined up with the sound played";
inline constexpr const char* kWhyUnrelated =
    "the recording is not the sound played; check the input device";
inline constexpr const char* kWhyShifted = "the sound server moved the recording; play again";

class Recorder {
  public:
    // How far back a recording may reach for the start of a looped sound.
    static constexpr std::int64_t kMaxBack = 44100 * 5;
    // How far back for the first frame of a sound played once: more than a
    // device callback renders while the take is being asked for, too little
    // to take in a sound that ended well before.
    static constexpr std::int64_t kOnceBack = 44100 / 2;
    // How far the round trip may have moved since the last take.
    static constexpr std::int64_t kSearch = 6144;
    // How far it is looked for when it is not found within that.
    static constexpr std::int64_t kWideSearch = 44100;
    // A match this good (normalised) finds the round trip; below it the
    // last one found (or the stream's) stands.
    static constexpr double kStrong = 0.9;
    // A match this good is the bit-exact loopback itself.
    static constexpr double kExact = 0.99999;
    // How long a take's tail may take to come back before the take is
    // finished with what there is.
    static constexpr std::chrono::milliseconds kPatience{2000};
    // Input peaks at or below this while the output played above
    // kAudible (16-bit steps, whatever the depth): nothing came back.
    static constexpr int kSilent = 16;
    static constexpr int kAudible = 256;
    // An input louder than this (RMS, 16-bit steps: -30 dBFS) that never
    // repeats with the sound played is not that sound.
    static constexpr double kLoud = 1036;

    // `in`: the input history; `out`: the frames rendered, on the same
    // count; `glitches`: where the device reported lost or inserted frames.
    Recorder(const FrameRing& in, const FrameRing& out, const Player& player,
             const GlitchLog* glitches = nullptr);
    ~Recorder();

    // One command; `latency` is the stream's round trip in frames, the
    // first guess for a take's own.
    long command(const std::string& cmd, std::int64_t latency);
    // Moves newly delivered frames into the spools and finishes the takes
    // whose tail has come back (called by the worker every few ms).
    void pump(std::int64_t latency);

    TakeResult result(const std::string& path) const;
    // A take that could not be made at all: its result, and no file.
    void markFailed(const std::string& path, const std::string& why);
    // Ends every take still waiting (the device went away).
    void abandon(const std::string& why);
    bool finishing() const;

    // The path's round trip as the probe found it (`measured`), or the
    // device's own estimate; every take after this is placed by it.
    void lineUp(std::int64_t lag, bool measured);
    // Frames broke off since the path was last lined up: it wants lining
    // up again.
    bool shifted() const;
    // No take recording or waiting to be finished.
    bool idle() const;

    // The last finished take (for tests and benches): frames kept, and the
    // round trip it was cut at and whether it was found in its own signal.
    std::int64_t keptFrames() const;
    std::int64_t takeLag() const;
    bool takeLagFound() const;

    struct Take;

  private:
    enum class Mode { Closed, Open, Recording, Stopped };

    long open();
    long record();
    long stop();
    long save(const std::string& path);
    bool tryFinish(Take& t, const std::string& path, std::int64_t latency);
    bool findTakeLag(Take& t, std::int64_t expected, bool late);
    void cut(Take& t) const;
    TakeResult judge(Take& t, bool saved, std::int64_t latency);
    bool unrelated(const Take& t) const;
    bool placeTake(Take& t, std::int64_t expected, bool late);
    std::int64_t expectedLag(std::int64_t latency) const;
    void resolveStart(Take& t) const;
    void feed(Take& t, std::int64_t latency);
    void setResult(const std::string& path, TakeResult r);

    const FrameRing& ring_;
    const FrameRing& out_;
    const Player& player_;
    const GlitchLog* glitches_;
    mutable std::mutex m_;
    Mode mode_ = Mode::Closed;
    std::unique_ptr<Take> current_;
    std::deque<std::pair<std::string, std::unique_ptr<Take>>> queue_;
    std::map<std::string, TakeResult> results_;

    ContinuityMonitor monitor_{out_, ring_};
    std::int64_t pathLag_ = -1;    // the round trip the probe found; -1: none
    std::int64_t linedUpAt_ = 0;   // output frame when it was found
    std::int64_t tracked_ = -1;    // the last round trip a take was cut at
    std::int64_t trackedAtIn_ = 0; // input frame where it was found
    bool shifted_ = false;
    std::int64_t breaksSeen_ = 0;
    // Input frame up to which the trouble the device reported was seen
    // not to have moved the path (a take found the same round trip).
    std::int64_t troubleHeldTo_ = 0;
    std::int64_t kept_ = 0;
    std::int64_t lastLag_ = 0;
    bool lastLagFound_ = false;
};

} // namespace qelvar::audio

// The sound services the windows rely on, shaped like the two platform
// calls they were designed around: loop / stop a WAV file, and a
// command-string recorder. Results are returned for the record only; the
// callers store them and never act on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelvar::audio {

// playSound flags.
inline constexpr unsigned kSndAsync = 0x0001;
inline constexpr unsigned kSndNoDefault = 0x0002;
inline constexpr unsigned kSndLoop = 0x0008;
inline constexpr unsigned kSndPurge = 0x0040;
inline constexpr unsigned kSndFilename = 0x20000;
inline constexpr unsigned kLoopFile = kSndFilename | kSndLoop | kSndAsync; // 0x20009
inline constexpr unsigned kPlayOnce = kSndFilename | kSndAsync;            // 0x20001
inline constexpr unsigned kPurgeAll = kSndPurge | kSndNoDefault;           // 0x42

// The recorder's commands, exactly as the windows send them.
inline constexpr const char* kCloseAll = "close all";
inline constexpr const char* kOpenCapture = "open new type waveaudio alias capture";
inline constexpr const char* kSeekCapture = "seek capture to start";
inline constexpr const char* kSetCapture =
    "set capture alignment 4 bitspersample 16 samplespersec 44100 channels 2 bytespersec 176400";
inline constexpr const char* kRecordCapture = "record capture";
inline constexpr const char* kStopCapture = "stop capture";
inline constexpr const char* kSaveCapturePrefix = "save capture ";

// What became of one saved take. A take is finished in the background
// (its tail is still on its way back when the next step starts), so its
// result may be pending for a round trip after "save capture".
struct TakeResult {
    enum class State {
        Unknown, // no take was ever saved under that name
        Pending, // saved, still being finished
        Good,    // the capture file holds the take, lined up and whole
        Suspect, // the file holds the take, but it may mislead (see why)
        Failed,  // no usable take: the capture file was removed
    };
    State state = State::Unknown;
    // For Suspect and Failed: what went wrong, in words a user can act on,
    // e.g. "nothing came back from the input; check the input device".
    std::string why;
    bool usable() const { return state == State::Good || state == State::Suspect; }
};

// Whether the sound path can take part in a measurement yet.
enum class Readiness {
    Opening, // the device is still being opened, or its round trip measured
    Ready,
    Failed, // none could be had; statusText() says why
};

// The sound path as a report describes it.
struct PathInfo {
    std::string description;        // devices and how they are driven
    int deviceRate = 0;             // the rate the device runs at
    int deviceBits = 0;             // its own sample format's bits (0: not known)
    std::int64_t latencyFrames = 0; // round trip, 44100 Hz frames
    bool latencyMeasured = false;   // found in the signal, not the host's guess
};

// Something about the set-up that the figures depend on: a finding is what
// makes them mislead (a volume below 100 %, an effects sink, clipping); a
// note only says what is measured (the input is the output's monitor).
// Neither stops a measurement.
struct SetupNote {
    bool finding = false;
    std::string text; // a sentence a user can act on, without its full stop
    bool operator==(const SetupNote&) const = default;
};

// The latest frames that came in: the input's last `stereo.size() / 2`
// frames up to frame `end` (counted from the stream's start), interleaved
// stereo at 44100 Hz, full scale 2^31.
struct InputTail {
    std::int64_t end = 0;
    std::vector<std::int32_t> stereo;
};

class SoundServices {
  public:
    virtual ~SoundServices() = default;

    // Loops (kLoopFile), plays once (kPlayOnce) or purges (name "0",
    // kPurgeAll). 1 on success, 0 on failure, like the platform call.
    virtual long playSound(const std::string& name, unsigned flags) = 0;

    // One recorder command; 0 on success, a non-zero error number on
    // failure. `returnBuffer` (when given) receives the command's answer.
    virtual long mciSendString(const std::string& command, std::string* returnBuffer = nullptr) = 0;

    // A one-line description of why there is no sound ("" while sound
    // works or its state is not known yet), for a window's status line.
    virtual std::string statusText() const { return {}; }

    virtual Readiness readiness() const { return Readiness::Ready; }

    virtual PathInfo pathInfo() const { return {}; }

    // Frames of the sound playing now that have gone to the device so far
    // (-1 when not known): a recording stopped before the whole sound has
    // gone out would miss its end.
    virtual std::int64_t soundFramesSent() const { return -1; }

    // A looping sound (a tone, a sweep's step) plays or was asked for: a
    // window that needs the device to itself (the sound-card test) waits.
    virtual bool soundPlaying() const { return false; }

    // What the sound server says about the devices in use that the figures
    // depend on: their volumes, effects between the program and a card, a
    // monitor as the input. Costs no sound; asks the server anew each time.
    virtual std::vector<SetupNote> setupNotes() const { return {}; }

    // The input's latest `frames` frames (fewer when fewer came), for a
    // live meter; empty while no input runs. Never blocks.
    virtual InputTail inputTail(std::size_t frames) const {
        (void)frames;
        return {};
    }

    // The result of the latest take saved to `path` (as given to "save
    // capture"). Never blocks.
    virtual TakeResult takeResult(const std::string& path) const {
        (void)path;
        return {TakeResult::State::Good, {}};
    }
};

// The process-wide sound services the windows use (set once by main or a
// test; never null after that).
SoundServices& services();
void setServices(SoundServices* s);

} // namespace qelvar::audio

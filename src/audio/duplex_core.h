// The state the worker thread, the audio callback and the public calls
// share. Internal to the PortAudio backend.
#pragma once

#include "audio/frame_ring.h"
#include "audio/player.h"
#include "audio/portaudio_sound.h"
#include "audio/recorder.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace qelvar::audio {

struct PortAudioSound::Core {
    // The burst that finds the round trip: ~6 ms at -24 dBFS, played
    // ~0.19 s after the stream starts so the first callbacks' start-up
    // jitter is over; the answer is looked for up to one second later.
    static constexpr std::int64_t kProbeStart = 8192;
    static constexpr std::size_t kProbeFrames = 256;
    static constexpr std::int16_t kProbeLevel = 2000;
    static constexpr std::int64_t kMaxLatency = 44100;

    explicit Core(Options o) : options(std::move(o)) {}

    Options options;
    Player player;
    FrameRing ring;    // what came in
    FrameRing outRing; // what was rendered, on the same count
    Recorder recorder{ring, outRing, player};
    std::vector<std::int16_t> probe;

    std::atomic<State> state{State::Opening};
    std::atomic<bool> measuring{true};
    std::atomic<std::int64_t> latency{0};
    std::atomic<bool> measured{false};
    std::atomic<std::int64_t> inputOverflows{0};
    std::atomic<std::int64_t> outputUnderflows{0};

    // Callback-owned.
    std::int64_t frame = 0;
    int inChannels = 2;
    int outChannels = 2;

    mutable std::mutex m;
    mutable std::condition_variable cv;
    std::string status;
    bool stopping = false;
    bool exited = false;

    void fail(const std::string& why);
    void setState(State s);
    bool waitStop(std::chrono::milliseconds d); // true when asked to stop

    int onAudio(const void* in, void* out, unsigned long n, unsigned long flags);
    void run();

  private:
    bool openStream(void** stream);
    void measureLatency(void* stream);
    void serve();
};

} // namespace qelvar::audio

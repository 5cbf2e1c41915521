// The looping player behind playSound: the GUI thread posts sounds, the
// audio callback renders them. The hand-over is a pointer swap under a
// mutex the callback only ever try-locks; the callback never allocates or
// frees, the sound it drops is freed by the next post.
#pragma once

#include "audio/wav_reader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace qelvar::audio {

struct Sound {
    Clip clip;
    bool loop = false;
};

// Which request the callback is playing and from which output frame on.
struct PlayState {
    std::int64_t serial = 0;     // 0: nothing was ever played
    std::int64_t start = 0;      // output frame of the sound's first frame
    std::int64_t loopFrames = 0; // loop length; 0 for silence or a one-shot
    int bits = 16;               // the sound's depth (Clip::bits); 16 for silence
};

class Player {
  public:
    // A replaced sound keeps playing to its loop boundary when that comes
    // within 10 ms (seamless); otherwise it is cut at once.
    static constexpr std::int64_t kBoundaryWait = 441;

    Player() = default;
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // GUI side. `sound` null means silence. Returns the request's serial.
    std::int64_t post(std::unique_ptr<Sound> sound);
    std::int64_t lastPosted() const { return posted_.load(std::memory_order_acquire); }
    PlayState state() const;

    // Callback side: writes `n` 32-bit frames of `channels` (1 or 2) channels,
    // the first being output frame `frame0`.
    void render(std::int32_t* out, int channels, std::size_t n, std::int64_t frame0);

  private:
    bool take(std::int64_t frame);
    std::size_t renderRun(std::int32_t* out, int channels, std::size_t n);
    void publish(std::int64_t serial, std::int64_t start, std::int64_t loop, int bits);

    std::mutex m_;
    Sound* pending_ = nullptr;
    bool pendingValid_ = false;
    std::int64_t pendingSerial_ = 0;
    Sound* toFree_ = nullptr;
    std::atomic<bool> hasPending_{false};
    std::atomic<std::int64_t> posted_{0};

    // Owned by the callback.
    Sound* cur_ = nullptr;
    std::size_t pos_ = 0;
    bool finished_ = false;
    std::int64_t switchAt_ = -1;

    // PlayState under a sequence lock.
    std::atomic<std::uint64_t> seq_{0};
    std::atomic<std::int64_t> pubSerial_{0}, pubStart_{0}, pubLoop_{0};
    std::atomic<int> pubBits_{16};
};

} // namespace qelvar::audio

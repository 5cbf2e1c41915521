#include "audio/player.h"

#include <algorithm>
#include <cstring>

namespace qelvar::audio {

Player::~Player() {
    delete pending_;
    delete toFree_;
    delete cur_;
}

std::int64_t Player::post(std::unique_ptr<Sound> sound) {
    Sound* dropped = nullptr;
    Sound* freed = nullptr;
    std::int64_t serial;
    {
        std::lock_guard lock(m_);
        freed = toFree_;
        toFree_ = nullptr;
        if (pendingValid_)
            dropped = pending_;
        pending_ = sound.release();
        pendingValid_ = true;
        serial = posted_.load(std::memory_order_relaxed) + 1;
        pendingSerial_ = serial;
        posted_.store(serial, std::memory_order_release);
        hasPending_.store(true, std::memory_order_release);
    }
    delete dropped;
    delete freed;
    return serial;
}

PlayState Player::state() const {
    for (;;) {
        const std::uint64_t s1 = seq_.load(std::memory_order_acquire);
        if (s1 & 1u)
            continue;
        PlayState p{
            pubSerial_.load(std::memory_order_relaxed), pubStart_.load(std::memory_order_relaxed),
            pubLoop_.load(std::memory_order_relaxed), pubBits_.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (seq_.load(std::memory_order_relaxed) == s1)
            return p;
    }
}

void Player::publish(std::int64_t serial, std::int64_t start, std::int64_t loop, int bits) {
    const std::uint64_t s = seq_.load(std::memory_order_relaxed);
    seq_.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    pubSerial_.store(serial, std::memory_order_relaxed);
    pubStart_.store(start, std::memory_order_relaxed);
    pubLoop_.store(loop, std::memory_order_relaxed);
    pubBits_.store(bits, std::memory_order_relaxed);
    seq_.store(s + 2, std::memory_order_release);
}

bool Player::take(std::int64_t frame) {
    if (!m_.try_lock())
        return false;
    if (pendingValid_) {
        // post() emptied toFree_ before this request was made.
        toFree_ = cur_;
        cur_ = pending_;
        pending_ = nullptr;
        pendingValid_ = false;
        hasPending_.store(false, std::memory_order_relaxed);
        pos_ = 0;
        finished_ = false;
        const bool loops = cur_ && cur_->loop;
        publish(pendingSerial_, frame, loops ? static_cast<std::int64_t>(cur_->clip.frames()) : 0,
                cur_ ? cur_->clip.bits : 16);
    }
    m_.unlock();
    return true;
}

std::size_t Player::renderRun(std::int32_t* out, int channels, std::size_t n) {
    if (!cur_ || finished_) {
        std::memset(out, 0, n * static_cast<std::size_t>(channels) * sizeof(std::int32_t));
        return n;
    }
    const std::size_t total = cur_->clip.frames();
    const std::size_t k = std::min(n, total - pos_);
    const std::int32_t* src = cur_->clip.samples.data() + pos_ * 2;
    if (channels == 2) {
        std::memcpy(out, src, k * 2 * sizeof(std::int32_t));
    } else {
        for (std::size_t i = 0; i < k; ++i)
            out[i] = src[i * 2];
    }
    pos_ += k;
    if (pos_ >= total) {
        pos_ = 0;
        finished_ = !cur_->loop;
    }
    return k;
}

void Player::render(std::int32_t* out, int channels, std::size_t n, std::int64_t frame0) {
    std::size_t i = 0;
    bool lockMissed = false;
    while (i < n) {
        const std::int64_t f = frame0 + static_cast<std::int64_t>(i);
        if (switchAt_ < 0 && hasPending_.load(std::memory_order_acquire)) {
            const bool looping = cur_ && cur_->loop && !finished_;
            const std::int64_t toBoundary =
                looping && pos_ > 0 ? static_cast<std::int64_t>(cur_->clip.frames() - pos_) : 0;
            switchAt_ = f + (toBoundary <= kBoundaryWait ? toBoundary : 0);
        }
        if (switchAt_ >= 0 && f >= switchAt_ && !lockMissed) {
            if (take(f))
                switchAt_ = -1;
            else
                lockMissed = true; // retried in the next callback
        }
        std::size_t run = n - i;
        if (switchAt_ > f && !lockMissed)
            run = std::min(run, static_cast<std::size_t>(switchAt_ - f));
        i += renderRun(out + i * static_cast<std::size_t>(channels), channels, run);
    }
}

} // namespace qelvar::audio

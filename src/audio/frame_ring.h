// The input history: every frame the device delivers, written by the
// audio callback at its absolute frame number and read by the recorder.
// The writer never waits; a reader that falls a whole ring behind finds
// out from the published count and treats those frames as lost. Frames
// are atomics so a lapped read is merely stale, never a data race.
//
// A frame is two 32-bit samples (full scale 2^31, as the player renders
// them) packed in one 64-bit atomic, which x86-64 and AArch64 store and
// load without a lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace qelvar::audio {

class FrameRing {
  public:
    // ~23.8 s at 44100: a take is lined up by its first frames once it has
    // ended, and the sound-card test plays one sound of about 13 s.
    static constexpr std::int64_t kSize = 1 << 20;
    // Frames a reader must stay clear of the writer's published count,
    // covering a callback still writing ahead of it.
    static constexpr std::int64_t kGuard = 1 << 16;

    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

    FrameRing() : frames_(new std::atomic<std::uint64_t>[kSize]) {}

    static std::uint64_t pack(std::int32_t l, std::int32_t r) {
        return static_cast<std::uint32_t>(l) | (std::uint64_t{static_cast<std::uint32_t>(r)} << 32);
    }
    static std::int32_t left(std::uint64_t f) { return static_cast<std::int32_t>(f & 0xFFFFFFFFu); }
    static std::int32_t right(std::uint64_t f) { return static_cast<std::int32_t>(f >> 32); }

    // Writer side (audio callback): store, then publish the new count.
    void store(std::int64_t frame, std::uint64_t v) {
        frames_[frame & (kSize - 1)].store(v, std::memory_order_relaxed);
    }
    void publish(std::int64_t count) { written_.store(count, std::memory_order_release); }

    // Reader side: frames [0, written()) have been delivered.
    std::int64_t written() const { return written_.load(std::memory_order_acquire); }
    // Oldest frame still safely readable.
    std::int64_t oldest() const {
        const std::int64_t w = written();
        return w > kSize - kGuard ? w - (kSize - kGuard) : 0;
    }
    std::uint64_t load(std::int64_t frame) const {
        return frames_[frame & (kSize - 1)].load(std::memory_order_relaxed);
    }

  private:
    std::unique_ptr<std::atomic<std::uint64_t>[]> frames_;
    std::atomic<std::int64_t> written_{0};
};

} // namespace qelvar::audio

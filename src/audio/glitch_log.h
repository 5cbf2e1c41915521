// Where the device reported trouble: frames it dropped or inserted on the
// way (an input overflow, an output underflow, a hole in the recording),
// noted at the input frame where they happened. The audio thread writes,
// the recorder reads; the last kSize notes are kept.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace qelvar::audio {

class GlitchLog {
  public:
    static constexpr int kSize = 64;

    // Frames dropped or inserted, or the device suspended and woken (which
    // drops whatever was on its way).
    enum class Trouble { Lost, Suspended };

    void note(std::int64_t inFrame) { note(inFrame, inFrame + 1); }
    // Trouble somewhere in input frames [from, to): where exactly is not
    // known (an output underflow, whose gap is still in the device's buffer).
    void note(std::int64_t from, std::int64_t to, Trouble what = Trouble::Lost) {
        const std::int64_t i = count_.load(std::memory_order_relaxed);
        const auto k = static_cast<std::size_t>(i % kSize);
        from_[k].store(from, std::memory_order_relaxed);
        to_[k].store(to, std::memory_order_relaxed);
        what_[k].store(what, std::memory_order_relaxed);
        count_.store(i + 1, std::memory_order_release);
    }
    std::int64_t count() const { return count_.load(std::memory_order_acquire); }

    // The trouble noted among the last kSize that may lie in [from, to), if
    // any: a suspend before lost frames (it causes those too).
    std::optional<Trouble> within(std::int64_t from, std::int64_t to) const {
        const std::int64_t n = count();
        std::optional<Trouble> found;
        for (std::int64_t i = n > kSize ? n - kSize : 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i % kSize);
            if (from_[k].load(std::memory_order_relaxed) < to &&
                to_[k].load(std::memory_order_relaxed) > from) {
                found = what_[k].load(std::memory_order_relaxed);
                if (*found == Trouble::Suspended)
                    break;
            }
        }
        return found;
    }

  private:
    std::array<std::atomic<std::int64_t>, kSize> from_{}, to_{};
    std::array<std::atomic<Trouble>, kSize> what_{};
    std::atomic<std::int64_t> count_{0};
};

} // namespace qelvar::audio

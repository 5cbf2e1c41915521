// What every sound backend shares: the looping player, the output and input
// histories, the recorder, the round-trip probe and the worker's life. A
// backend only moves frames between these and its device:
//
//   renderOutput()  fills the next output frames (the probe while the round
//                   trip is measured, then the player) and keeps them;
//   storeInput()    keeps the frames that came back.
//
// Output and input are counted apart; the round trip (latency) is the
// input frame number at which an output frame comes back. With one duplex
// stream both counts move together; with two streams the difference holds
// as long as no frames are lost, which every take checks in the signal.
#pragma once

#include "audio/frame_ring.h"
#include "audio/glitch_log.h"
#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/sound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qelvar::audio {

// The devices to use: part of a device's name or description (case
// ignored); empty: the system's default. matchDevice chooses by them.
struct SoundOptions {
    std::string outputDevice;
    std::string inputDevice;
};

class Engine {
  public:
    enum class State { Opening, Measuring, Ready, Failed };

    // The burst that finds the round trip: ~23 ms at -24 dBFS, long enough
    // to stand out through a card's filters.
    static constexpr std::size_t kProbeFrames = 1024;
    static constexpr std::int16_t kProbeLevel = 2000;
    // How far the answer is looked for; and how far from the last one
    // when the probe is played again.
    static constexpr std::int64_t kMaxLatency = 4 * 44100;
    static constexpr std::int64_t kNear = 4096;
    // A match this weak counts where it stands alone (a filtering path).
    static constexpr double kWeakMatch = 0.25;
    // Where a backend with separate streams starts counting its input, so
    // that the round trip stays positive when the input starts after the
    // output (it is then this, less the head start, plus the path's own).
    static constexpr std::int64_t kInputBase = 2 * 44100;

    Engine();

    Player player;
    FrameRing ring;    // what came in, by input frame
    FrameRing outRing; // what was rendered, by output frame
    GlitchLog glitches;
    Recorder recorder{ring, outRing, player, &glitches};

    std::atomic<State> state{State::Opening};
    std::atomic<std::int64_t> latency{0};
    std::atomic<bool> measured{false};
    // Output frames on their way when the round trip was last measured.
    std::atomic<std::int64_t> roundTrip{0};
    std::atomic<std::int64_t> inputOverflows{0};
    std::atomic<std::int64_t> outputUnderflows{0};
    // What the device runs at, for the record (0 until known).
    std::atomic<int> deviceRate{0};
    // The bits the devices' own formats carry, the fewer of the two (0
    // until known, or where the system does not say).
    std::atomic<int> deviceBits{0};

    // --- Audio thread ----------------------------------------------------
    // The next `n` output frames, interleaved in `channels` (1 or 2).
    // Samples are 32-bit, full scale 2^31.
    void renderOutput(std::int32_t* dst, int channels, std::size_t n);
    // `n` frames that came in, interleaved in `channels`; null: silence.
    void storeInput(const std::int32_t* src, int channels, std::size_t n);
    // Frames the device lost or inserted at the current input position.
    void noteGlitch() { glitches.note(inFrame_.load(std::memory_order_relaxed)); }
    // Where a backend's input starts counting when it opens (again): as the
    // first time, kInputBase ahead of the output, and never back.
    std::int64_t nextInputBase() const { return std::max(inFrames(), outFrames() + kInputBase); }
    // Before any input: the input's first frame gets number `base`.
    void setInputBase(std::int64_t base) {
        inFrame_.store(base, std::memory_order_relaxed);
        ring.publish(base);
    }
    std::int64_t outFrames() const { return outFrame_.load(std::memory_order_relaxed); }
    std::int64_t inFrames() const { return inFrame_.load(std::memory_order_relaxed); }

    // --- Worker ----------------------------------------------------------
    void fail(const std::string& why);
    void setState(State s);
    // The device went away and is there again: opens from the start, with
    // nothing playing (the sound that played went with the device) and the
    // round trip to be found afresh.
    void reopen();
    // Sleeps up to `d`; true when the backend is being shut down.
    bool waitStop(std::chrono::milliseconds d);
    // Plays the probe and finds it in the input. False when it did not
    // come back (the latency is then `fallback` frames, the device's own
    // estimate). `fraction` then holds the part of a frame the round trip
    // lies past `latency` (non-zero only where rates are converted).
    bool measureLatency(std::int64_t fallback);
    bool measureOnce(std::int64_t fallback);
    // Plays the probe a little after the output's current frame; before
    // each measureLatency().
    void probeAgain();
    std::atomic<double> fraction{0};
    // Pumps the recorder until shut down, or until `alive` says the device
    // went away (then fails with "Sound device stopped").
    template <class Alive> void serve(Alive alive) {
        using Clock = std::chrono::steady_clock;
        std::int64_t lastFrames = -1;
        auto lastInput = Clock::now();
        int quiet = 0;
        while (!waitStop(std::chrono::milliseconds(5))) {
            recorder.pump(latency.load());
            // A path whose frames broke off is lined up again once nothing
            // has played or recorded for a second.
            quiet = recorder.shifted() && recorder.idle() && silent() ? quiet + 1 : 0;
            if (quiet == 200) {
                const bool cameBack = measured.load();
                setState(State::Measuring);
                if (realign) {
                    realign();
                } else {
                    probeAgain();
                    measureLatency(latency.load());
                }
                // The probe came back before and now does not: the path
                // stopped carrying sound (PipeWire's monitor of a sink that
                // was suspended gives silence from then on). Opened again,
                // it works.
                if (cameBack && !measured.load()) {
                    fail("Sound device stopped");
                    return;
                }
                setState(State::Ready);
                quiet = 0;
            }
            const std::int64_t w = ring.written();
            if (w != lastFrames)
                lastInput = Clock::now();
            lastFrames = w;
            // 3 s without input, however long the recorder took: the server
            // went away.
            if (!alive() || Clock::now() - lastInput > std::chrono::seconds(3)) {
                fail("Sound device stopped");
                return;
            }
        }
    }
    // Called by the worker when it is done with the device.
    void exit();
    // Lines the round trip up again (worker thread); set by a backend that
    // converts rates, which also makes it whole. Otherwise the probe is
    // played again.
    std::function<void()> realign;
    // Nothing is playing, nor asked to.
    bool silent() const {
        const PlayState s = player.state();
        return s.serial == player.lastPosted() && s.loopFrames == 0;
    }

    mutable std::mutex m;
    mutable std::condition_variable cv;
    std::string status;
    // Which devices the path runs on and how, for the record.
    std::string description;
    bool stopping = false;
    bool exited = false;
    // When the device was last (re)opened, and when it came back after it
    // went away (none: it never went away).
    std::chrono::steady_clock::time_point openedAt = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> backAt;
    bool reopened = false;

  private:
    std::vector<std::int16_t> probe_;
    // Silence until a backend asks for the probe.
    std::atomic<bool> probing_{true};
    std::atomic<std::int64_t> probeStart_{INT64_MAX};
    std::atomic<std::int64_t> outFrame_{0};
    std::atomic<std::int64_t> inFrame_{0};
};

// The sound services over an engine that a backend's worker runs. The
// worker is started by the backend's constructor and owns a share of the
// engine, so a worker stuck in a hung server outlives this object safely.
class EngineSound : public SoundServices {
  public:
    using State = Engine::State;

    ~EngineSound() override;
    EngineSound(const EngineSound&) = delete;
    EngineSound& operator=(const EngineSound&) = delete;

    long playSound(const std::string& name, unsigned flags) override;
    long mciSendString(const std::string& command, std::string* returnBuffer = nullptr) override;
    std::string statusText() const override;
    Readiness readiness() const override;
    std::int64_t soundFramesSent() const override {
        return engine_->outFrames() - engine_->player.state().start;
    }
    bool soundPlaying() const override { return !engine_->silent(); }
    PathInfo pathInfo() const override {
        return {description(), deviceRate(), engine_->deviceBits.load(), roundTripFrames(),
                latencyMeasured()};
    }
    TakeResult takeResult(const std::string& path) const override;
    InputTail inputTail(std::size_t frames) const override;

    State state() const { return engine_->state.load(); }
    // Waits until the stream is ready or has failed; true when ready. For
    // tools and tests, never the GUI thread.
    bool waitReady(std::chrono::milliseconds timeout) const;
    // Waits until the take saved to `path` is finished; for tools and tests.
    TakeResult waitTake(const std::string& path, std::chrono::milliseconds timeout) const;
    // Round trip from output to input in frames, and whether it was found
    // in the signal (false: the host's own estimate).
    std::int64_t latencyFrames() const { return engine_->latency.load(); }
    bool latencyMeasured() const { return engine_->measured.load(); }
    // The round trip in time, as frames: how far the output rendered was
    // ahead of what came back (within a block) when it was last measured.
    // latencyFrames() is that plus the offset between the two streams' counts.
    std::int64_t roundTripFrames() const { return engine_->roundTrip.load(); }
    int deviceRate() const { return engine_->deviceRate.load(); }
    // "output SINK, input SOURCE, 48000 Hz (converted)" once open.
    std::string description() const;
    std::int64_t inputOverflows() const { return engine_->inputOverflows.load(); }
    std::int64_t outputUnderflows() const { return engine_->outputUnderflows.load(); }
    std::int64_t keptFrames() const { return engine_->recorder.keptFrames(); }
    std::int64_t takeLag() const { return engine_->recorder.takeLag(); }
    bool takeLagFound() const { return engine_->recorder.takeLagFound(); }

  protected:
    EngineSound();
    // Starts `run(engine)` on a worker thread.
    template <class Run> void start(Run run) {
        std::thread([e = engine_, run]() mutable {
            run(*e);
            e->exit();
        }).detach();
    }
    std::shared_ptr<Engine> engine_;

  private:
    static constexpr std::chrono::seconds kOpeningPatience{5};
    // How long "Sound device back" stays on the status line.
    static constexpr std::chrono::seconds kBackShown{10};
};

// Why a take could not be made, from the sound path's state.
std::string whyNoTake(Engine::State s, const std::string& status);

} // namespace qelvar::audio

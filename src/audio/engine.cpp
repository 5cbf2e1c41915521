#include "audio/engine.h"

#include "audio/aligner.h"
#include "audio/pa_host.h"
#include "audio/wav_reader.h"

#include <algorithm>
#include <cstring>

namespace qelvar::audio {
namespace {

// The input's channels as floats from frame `from` on, `count` frames,
// in 16-bit steps like the probe.
struct StereoInput {
    std::vector<float> left, right;
};

StereoInput stereoInput(const FrameRing& ring, std::int64_t from, std::int64_t count) {
    StereoInput v{std::vector<float>(static_cast<std::size_t>(count)),
                  std::vector<float>(static_cast<std::size_t>(count))};
    for (std::int64_t i = 0; i < count; ++i) {
        const std::uint64_t f = ring.load(from + i);
        v.left[static_cast<std::size_t>(i)] =
            static_cast<float>(static_cast<double>(FrameRing::left(f)) / 65536);
        v.right[static_cast<std::size_t>(i)] =
            static_cast<float>(static_cast<double>(FrameRing::right(f)) / 65536);
    }
    return v;
}

// Both channels as one, each turned the right way up as `m` found them.
std::vector<float> upright(const StereoInput& in, const Match& m) {
    std::vector<float> v(in.left.size());
    const float l = m.invertedL ? -0.5f : 0.5f, r = m.invertedR ? -0.5f : 0.5f;
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = l * in.left[i] + r * in.right[i];
    return v;
}

} // namespace

Engine::Engine() : probe_(probeBurst(kProbeFrames, kProbeLevel)) {}

void Engine::renderOutput(std::int32_t* dst, int channels, std::size_t n) {
    const std::int64_t frame = outFrame_.load(std::memory_order_relaxed);
    const auto ch = static_cast<std::size_t>(channels);
    if (probing_.load(std::memory_order_acquire)) {
        const std::int64_t start = probeStart_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t k = frame + static_cast<std::int64_t>(i) - start;
            const std::int32_t v = k >= 0 && k < static_cast<std::int64_t>(probe_.size())
                                       ? std::int32_t{probe_[static_cast<std::size_t>(k)]} * 65536
                                       : 0;
            for (std::size_t c = 0; c < ch; ++c)
                dst[i * ch + c] = v;
        }
    } else {
        player.render(dst, channels, n, frame);
    }
    // What was rendered, kept so every take can find its own round trip.
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t l = dst[i * ch];
        const std::int32_t r = ch > 1 ? dst[i * ch + 1] : l;
        outRing.store(frame + static_cast<std::int64_t>(i), FrameRing::pack(l, r));
    }
    outFrame_.store(frame + static_cast<std::int64_t>(n), std::memory_order_relaxed);
    outRing.publish(frame + static_cast<std::int64_t>(n));
}

void Engine::storeInput(const std::int32_t* src, int channels, std::size_t n) {
    const std::int64_t frame = inFrame_.load(std::memory_order_relaxed);
    const auto ch = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t l = 0, r = 0;
        if (src) {
            l = src[i * ch];
            r = ch > 1 ? src[i * ch + 1] : l;
        }
        ring.store(frame + static_cast<std::int64_t>(i), FrameRing::pack(l, r));
    }
    inFrame_.store(frame + static_cast<std::int64_t>(n), std::memory_order_relaxed);
    ring.publish(frame + static_cast<std::int64_t>(n));
}

void Engine::fail(const std::string& why) {
    {
        std::lock_guard lock(m);
        status = why;
    }
    setState(State::Failed);
    recorder.abandon(whyNoTake(State::Failed, why));
}

void Engine::setState(State s) {
    {
        std::lock_guard lock(m);
        state.store(s);
        if (s == State::Ready && reopened) {
            reopened = false;
            backAt = std::chrono::steady_clock::now();
        }
    }
    cv.notify_all();
}

void Engine::reopen() {
    player.post(nullptr);
    measured.store(false);
    {
        std::lock_guard lock(m);
        status.clear();
        openedAt = std::chrono::steady_clock::now();
        reopened = true;
        backAt.reset();
    }
    setState(State::Opening);
}

bool Engine::waitStop(std::chrono::milliseconds d) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, d, [this] { return stopping; });
}

void Engine::exit() {
    std::lock_guard lock(m);
    exited = true;
    cv.notify_all();
}

void Engine::probeAgain() {
    probeStart_.store(outFrames() + 4096, std::memory_order_relaxed);
    probing_.store(true, std::memory_order_release);
}

bool Engine::measureLatency(std::int64_t fallback) {
    // Frames the device dropped or inserted while the probe was on its way
    // moved the path under it, and were noted where the old round trip put
    // them: the probe is played again.
    for (int tries = 1;; ++tries) {
        const std::int64_t troubles = glitches.count();
        const bool found = measureOnce(fallback);
        if (glitches.count() == troubles || tries == 3 || waitStop(std::chrono::milliseconds(0)))
            return found;
        probeAgain();
    }
}

bool Engine::measureOnce(std::int64_t fallback) {
    if (state.load() != State::Ready)
        setState(State::Measuring);
    const std::int64_t start = probeStart_.load(std::memory_order_relaxed);
    std::vector<float> p(probe_.begin(), probe_.end());
    const auto len = static_cast<std::int64_t>(p.size());
    Match best;
    // The output's frame `start` comes back at input frame start + lag;
    // the input may have been counting for a while before the output
    // started, so the lag can be large. Once known, it is looked for near
    // where it was: an earlier probe lies further on in the input, at a
    // lag of its own.
    const bool again = measured.load();
    std::int64_t searched = again ? std::max<std::int64_t>(0, latency.load() - kNear) : 0;
    const std::int64_t firstLag = searched;
    std::vector<float> all; // every lag's match from firstLag on
    const std::int64_t searchEnd = again ? latency.load() + kNear : kMaxLatency;
    for (int waited = 0; waited < 600 && searched < searchEnd; ++waited) {
        if (waitStop(std::chrono::milliseconds(10)))
            return false;
        if (outRing.written() < start + len)
            continue;
        const std::int64_t avail = ring.written() - start;
        const std::int64_t lagEnd = std::min(searchEnd, avail - 2 * len);
        if (lagEnd <= searched)
            continue;
        const StereoInput in = stereoInput(ring, start, lagEnd + len - 1);
        const Match m = bestMatch(p, in.left, in.right, searched, lagEnd, &all);
        if (m.lag >= 0 && m.corr > best.corr)
            best = m;
        searched = lagEnd;
        // A clear peak, and a probe's length past it to be sure it is the
        // top; a converted path blurs the peak, so a weaker one stands once
        // a good stretch past it holds nothing better.
        if ((best.corr >= 0.9 && searched >= best.lag + len) ||
            (best.corr >= kWeakMatch && searched >= best.lag + 8 * len))
            break;
    }
    // A filtering path matches the probe less well; its match still
    // stands alone where it came back.
    const bool found =
        best.corr >= 0.5 || (best.corr >= kWeakMatch && standsAlone(best, all, firstLag));
    latency.store(found ? impulseOnset(best, all, firstLag) : fallback);
    measured.store(found);
    // The round trip in time, taken now: how far the output written so far
    // is ahead of what comes back. Read later, the two counts would carry
    // any frames the server dropped or inserted since (an output underrun
    // moves the input's count on alone), until the path is lined up again.
    roundTrip.store(outFrames() - (inFrames() - latency.load()));
    fraction.store(
        found ? fractionalLag(p, upright(stereoInput(ring, start, best.lag + 2 * len), best),
                              best.lag)
              : 0.0);
    probing_.store(false, std::memory_order_release);
    recorder.lineUp(latency.load(), found);
    return found;
}

std::string whyNoTake(Engine::State s, const std::string& status) {
    if (s == Engine::State::Failed) {
        if (status == "Sound device stopped")
            return "the sound device stopped; check the sound server and play again";
        return "no sound device; check that PulseAudio or PipeWire runs";
    }
    return "the sound device did not answer; check the sound server";
}

// --- EngineSound ------------------------------------------------------------

EngineSound::EngineSound() : engine_(std::make_shared<Engine>()) {}

EngineSound::~EngineSound() {
    {
        std::lock_guard lock(engine_->m);
        engine_->stopping = true;
    }
    engine_->cv.notify_all();
    // Ending inside ALSA's device probe could leave JACK locked for every
    // program on the machine (see initialiseQuietly); a probe takes well
    // under a second. Waited for again after the worker's last chance to
    // have started one.
    const auto probe = std::chrono::seconds(10);
    waitForDeviceProbes(probe);
    {
        // A worker stuck in a hung server is left to finish on its own.
        std::unique_lock lock(engine_->m);
        engine_->cv.wait_for(lock, std::chrono::milliseconds(500),
                             [this] { return engine_->exited; });
    }
    waitForDeviceProbes(probe);
}

long EngineSound::playSound(const std::string& name, unsigned flags) {
    if (state() == State::Failed)
        return 0;
    if (flags & kSndPurge) {
        engine_->player.post(nullptr);
        return 1;
    }
    auto clip = readClip(name);
    if (!clip) {
        // Like the platform's player, a one-shot request ends the looping
        // sound even when its own file can't be played; a failed loop
        // request leaves the current sound alone.
        if (!(flags & kSndLoop))
            engine_->player.post(nullptr);
        return 0;
    }
    auto sound = std::make_unique<Sound>();
    sound->clip = std::move(*clip);
    sound->loop = (flags & kSndLoop) != 0;
    engine_->player.post(std::move(sound));
    return 1;
}

long EngineSound::mciSendString(const std::string& command, std::string* returnBuffer) {
    if (returnBuffer)
        returnBuffer->clear();
    // Until the round trip is known a take can't be lined up.
    if (state() != State::Ready) {
        const std::string prefix = kSaveCapturePrefix;
        if (command.rfind(prefix, 0) == 0 && command.size() > prefix.size()) {
            std::string status;
            {
                std::lock_guard lock(engine_->m);
                status = engine_->status;
            }
            std::string path = command.substr(prefix.size());
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
                path = path.substr(1, path.size() - 2);
            engine_->recorder.markFailed(path, whyNoTake(state(), status));
        }
        return kMciErrNoDevice;
    }
    return engine_->recorder.command(command, engine_->latency.load());
}

std::string EngineSound::statusText() const {
    std::lock_guard lock(engine_->m);
    const State s = engine_->state.load();
    if (s == State::Failed)
        return engine_->status;
    const auto now = std::chrono::steady_clock::now();
    // A sound server that hangs can hold the opening for minutes; say so
    // rather than nothing.
    if (s != State::Ready && now - engine_->openedAt > kOpeningPatience)
        return "Sound device not answering";
    if (s == State::Ready && engine_->backAt && now - *engine_->backAt < kBackShown)
        return "Sound device back";
    return {};
}

std::string EngineSound::description() const {
    std::lock_guard lock(engine_->m);
    return engine_->description;
}

Readiness EngineSound::readiness() const {
    switch (state()) {
    case State::Ready:
        return Readiness::Ready;
    case State::Failed:
        return Readiness::Failed;
    default:
        return Readiness::Opening;
    }
}

InputTail EngineSound::inputTail(std::size_t frames) const {
    InputTail t;
    if (engine_->state.load() != State::Ready)
        return t;
    const FrameRing& ring = engine_->ring;
    t.end = ring.written();
    const std::int64_t from =
        std::max({t.end - static_cast<std::int64_t>(frames), ring.oldest(), std::int64_t{0}});
    t.stereo.reserve(2 * static_cast<std::size_t>(t.end - from));
    for (std::int64_t f = from; f < t.end; ++f) {
        const std::uint64_t v = ring.load(f);
        t.stereo.push_back(FrameRing::left(v));
        t.stereo.push_back(FrameRing::right(v));
    }
    if (from < ring.oldest()) // overwritten while being read
        t.stereo.clear();
    return t;
}

TakeResult EngineSound::takeResult(const std::string& path) const {
    return engine_->recorder.result(path);
}

bool EngineSound::waitReady(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(engine_->m);
    engine_->cv.wait_for(lock, timeout, [this] {
        const State s = engine_->state.load();
        return s == State::Ready || s == State::Failed;
    });
    return engine_->state.load() == State::Ready;
}

TakeResult EngineSound::waitTake(const std::string& path, std::chrono::milliseconds timeout) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        TakeResult r = takeResult(path);
        if (r.state != TakeResult::State::Pending || std::chrono::steady_clock::now() >= until)
            return r;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace qelvar::audio

#include "audio/duplex_core.h"

#include "audio/aligner.h"
#include "audio/pa_host.h"

#include <cstring>

namespace qelvar::audio {
namespace {

using Core = PortAudioSound::Core;

int paCallback(const void* in, void* out, unsigned long n, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags flags, void* user) {
    return static_cast<Core*>(user)->onAudio(in, out, n, flags);
}

// The input as mono floats from frame `from` on, `count` frames.
std::vector<float> monoInput(const FrameRing& ring, std::int64_t from, std::int64_t count) {
    std::vector<float> v(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const std::uint32_t f = ring.load(from + i);
        v[static_cast<std::size_t>(i)] = 0.5f * (FrameRing::left(f) + FrameRing::right(f));
    }
    return v;
}

} // namespace

void Core::fail(const std::string& why) {
    {
        std::lock_guard lock(m);
        status = why;
    }
    setState(State::Failed);
}

void Core::setState(State s) {
    {
        std::lock_guard lock(m);
        state.store(s);
    }
    cv.notify_all();
}

bool Core::waitStop(std::chrono::milliseconds d) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, d, [this] { return stopping; });
}

int Core::onAudio(const void* in, void* out, unsigned long n, unsigned long flags) {
    if (flags & paInputOverflow)
        inputOverflows.fetch_add(1, std::memory_order_relaxed);
    if (flags & paOutputUnderflow)
        outputUnderflows.fetch_add(1, std::memory_order_relaxed);
    const auto* src = static_cast<const std::int16_t*>(in);
    for (unsigned long i = 0; i < n; ++i) {
        std::int16_t l = 0, r = 0;
        if (src) {
            l = src[i * static_cast<unsigned long>(inChannels)];
            r = inChannels > 1 ? src[i * 2 + 1] : l;
        }
        ring.store(frame + static_cast<std::int64_t>(i), FrameRing::pack(l, r));
    }
    auto* dst = static_cast<std::int16_t*>(out);
    if (measuring.load(std::memory_order_acquire)) {
        for (unsigned long i = 0; i < n; ++i) {
            const std::int64_t k = frame + static_cast<std::int64_t>(i) - kProbeStart;
            const std::int16_t v = k >= 0 && k < static_cast<std::int64_t>(probe.size())
                                       ? probe[static_cast<std::size_t>(k)]
                                       : std::int16_t{0};
            for (int c = 0; c < outChannels; ++c)
                dst[i * static_cast<unsigned long>(outChannels) + static_cast<unsigned long>(c)] =
                    v;
        }
    } else {
        player.render(dst, outChannels, n, frame);
    }
    // What was rendered, kept so every take can find its own round trip.
    for (unsigned long i = 0; i < n; ++i) {
        const std::int16_t l = dst[i * static_cast<unsigned long>(outChannels)];
        const std::int16_t r = outChannels > 1 ? dst[i * 2 + 1] : l;
        outRing.store(frame + static_cast<std::int64_t>(i), FrameRing::pack(l, r));
    }
    frame += static_cast<std::int64_t>(n);
    outRing.publish(frame);
    ring.publish(frame);
    return paContinue;
}

bool Core::openStream(void** stream) {
    const PaDeviceIndex inDev = pickDevice(options.inputDevice, true);
    const PaDeviceIndex outDev = pickDevice(options.outputDevice, false);
    const PaDeviceInfo* inInfo = inDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(inDev);
    const PaDeviceInfo* outInfo = outDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(outDev);
    if (!inInfo || !outInfo || inInfo->maxInputChannels < 1 || outInfo->maxOutputChannels < 1) {
        fail("No sound device found");
        return false;
    }
    inChannels = inInfo->maxInputChannels >= 2 ? 2 : 1;
    outChannels = outInfo->maxOutputChannels >= 2 ? 2 : 1;
    // 0.1 s: shorter latencies stall or underrun through a sound server.
    PaStreamParameters ip{inDev, inChannels, paInt16, 0.1, nullptr};
    PaStreamParameters op{outDev, outChannels, paInt16, 0.1, nullptr};
    // Unspecified buffer size: a fixed one repeats a stale input frame
    // every period on some hosts.
    PaError e = Pa_OpenStream(stream, &ip, &op, 44100, paFramesPerBufferUnspecified, paClipOff,
                              paCallback, this);
    if (e == paNoError) {
        e = Pa_StartStream(*stream);
        if (e != paNoError) {
            Pa_CloseStream(*stream);
            *stream = nullptr;
        }
    }
    if (e != paNoError) {
        fail(e == paDeviceUnavailable ? "Sound device busy" : "Sound device could not be opened");
        return false;
    }
    return true;
}

void Core::measureLatency(void* stream) {
    std::vector<float> p(probe.begin(), probe.end());
    const auto len = static_cast<std::int64_t>(p.size());
    Match best;
    std::int64_t searched = 0;
    for (int waited = 0; waited < 500 && searched < kMaxLatency; ++waited) {
        if (waitStop(std::chrono::milliseconds(10)))
            return;
        const std::int64_t avail = ring.written() - kProbeStart;
        const std::int64_t lagEnd = std::min(kMaxLatency, avail - len + 1);
        if (lagEnd <= searched)
            continue;
        const Match m =
            bestMatch(p, monoInput(ring, kProbeStart, lagEnd + len - 1), searched, lagEnd);
        if (m.lag >= 0 && m.corr > best.corr)
            best = m;
        searched = lagEnd;
        // A clear peak, and a probe's length past it to be sure it is the top.
        if (best.corr >= 0.9 && searched >= best.lag + len)
            break;
    }
    if (best.corr >= 0.5) {
        latency.store(best.lag);
        measured.store(true);
    } else {
        // No loopback (or a noisy one): the host's own figure is the best left.
        const PaStreamInfo* si = Pa_GetStreamInfo(stream);
        const double s = si ? si->inputLatency + si->outputLatency : 0.2;
        latency.store(static_cast<std::int64_t>(s * 44100.0 + 0.5));
    }
    measuring.store(false, std::memory_order_release);
}

void Core::serve() {
    std::int64_t lastFrames = -1;
    int still = 0;
    while (!waitStop(std::chrono::milliseconds(5))) {
        recorder.pump(latency.load());
        const std::int64_t w = ring.written();
        still = w == lastFrames ? still + 1 : 0;
        lastFrames = w;
        if (still == 600) { // ~3 s without a callback: the server went away
            fail("Sound device stopped");
            return;
        }
    }
}

void Core::run() {
    probe = probeBurst(kProbeFrames, kProbeLevel);
    if (initialiseQuietly() != paNoError) {
        fail("No sound device found");
    } else {
        void* stream = nullptr;
        if (openStream(&stream)) {
            setState(State::Measuring);
            measureLatency(stream);
            if (!waitStop(std::chrono::milliseconds(0))) {
                setState(State::Ready);
                serve();
            }
            Pa_AbortStream(stream);
            Pa_CloseStream(stream);
        }
        Pa_Terminate();
    }
    std::lock_guard lock(m);
    exited = true;
    cv.notify_all();
}

} // namespace qelvar::audio

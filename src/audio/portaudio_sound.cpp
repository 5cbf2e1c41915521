#include "audio/portaudio_sound.h"

#include "audio/pa_host.h"

namespace qelvar::audio {
namespace {

struct Duplex {
    Engine* engine = nullptr;
    int inChannels = 2;
    int outChannels = 2;
};

int onAudio(const void* in, void* out, unsigned long n, const PaStreamCallbackTimeInfo*,
            PaStreamCallbackFlags flags, void* user) {
    auto* d = static_cast<Duplex*>(user);
    Engine& e = *d->engine;
    if (flags & (paInputOverflow | paOutputUnderflow)) {
        if (flags & paInputOverflow)
            e.inputOverflows.fetch_add(1, std::memory_order_relaxed);
        if (flags & paOutputUnderflow)
            e.outputUnderflows.fetch_add(1, std::memory_order_relaxed);
        e.noteGlitch();
    }
    e.storeInput(static_cast<const std::int16_t*>(in), d->inChannels, n);
    e.renderOutput(static_cast<std::int16_t*>(out), d->outChannels, n);
    return paContinue;
}

bool openStream(Engine& e, const PortAudioSound::Options& o, Duplex& d, PaStream** stream) {
    const PaDeviceIndex inDev = pickDevice(o.inputDevice, true);
    const PaDeviceIndex outDev = pickDevice(o.outputDevice, false);
    const PaDeviceInfo* inInfo = inDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(inDev);
    const PaDeviceInfo* outInfo = outDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(outDev);
    if (!inInfo || !outInfo || inInfo->maxInputChannels < 1 || outInfo->maxOutputChannels < 1) {
        e.fail("No sound device found");
        return false;
    }
    d.inChannels = inInfo->maxInputChannels >= 2 ? 2 : 1;
    d.outChannels = outInfo->maxOutputChannels >= 2 ? 2 : 1;
    // 0.1 s: shorter latencies stall or underrun through a sound server.
    PaStreamParameters ip{inDev, d.inChannels, paInt16, 0.1, nullptr};
    PaStreamParameters op{outDev, d.outChannels, paInt16, 0.1, nullptr};
    // Unspecified buffer size: a fixed one repeats a stale input frame
    // every period on some hosts.
    PaError err = Pa_OpenStream(stream, &ip, &op, 44100, paFramesPerBufferUnspecified, paClipOff,
                                onAudio, &d);
    if (err == paNoError) {
        err = Pa_StartStream(*stream);
        if (err != paNoError) {
            Pa_CloseStream(*stream);
            *stream = nullptr;
        }
    }
    if (err != paNoError) {
        e.fail(err == paDeviceUnavailable ? "Sound device busy" : "Sound device could not be opened");
        return false;
    }
    e.deviceRate.store(44100);
    std::lock_guard lock(e.m);
    e.description = std::string("ALSA: output ") + outInfo->name + ", input " + inInfo->name +
                    ", 44100 Hz, one duplex stream";
    return true;
}

} // namespace

void runPortAudio(Engine& e, const SoundOptions& o) {
    if (initialiseQuietly() != paNoError) {
        e.fail("No sound device found");
        return;
    }
    Duplex d{&e};
    PaStream* stream = nullptr;
    if (openStream(e, o, d, &stream)) {
        const PaStreamInfo* si = Pa_GetStreamInfo(stream);
        const double s = si ? si->inputLatency + si->outputLatency : 0.2;
        e.measureLatency(static_cast<std::int64_t>(s * 44100.0 + 0.5));
        if (!e.waitStop(std::chrono::milliseconds(0))) {
            e.setState(Engine::State::Ready);
            e.serve([stream] { return Pa_IsStreamActive(stream) == 1; });
        }
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
    }
    Pa_Terminate();
}

PortAudioSound::PortAudioSound(Options options) {
    start([o = std::move(options)](Engine& e) { runPortAudio(e, o); });
}

std::vector<DeviceInfo> PortAudioSound::listDevices() {
    std::vector<DeviceInfo> out;
    if (initialiseQuietly() != paNoError)
        return out;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
        if (d && d->name && (d->maxInputChannels > 0 || d->maxOutputChannels > 0))
            out.push_back({d->name, d->name, d->maxInputChannels, d->maxOutputChannels});
    }
    Pa_Terminate();
    return out;
}

} // namespace qelvar::audio

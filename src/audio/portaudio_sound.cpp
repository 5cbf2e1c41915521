#include "audio/portaudio_sound.h"

#include "audio/converted_io.h"
#include "audio/pa_host.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace qelvar::audio {
namespace {

// The stream runs at the output device's own rate; where that is not 44100
// it carries floats and the program converts (a plugin such as the sound
// server's own would otherwise convert, with far less care).
struct Duplex {
    Engine* engine = nullptr;
    int inChannels = 2;
    int outChannels = 2;
    int rate = 44100;
    std::unique_ptr<ConvertedOutput> up;
    std::unique_ptr<ConvertedInput> down;
    std::vector<float> stereo; // a mono device's frames as stereo
};

// Converted frames between the device's channels and stereo.
void takeInput(Duplex& d, const float* in, std::size_t n) {
    if (in && d.inChannels == 1) {
        d.stereo.resize(std::max(d.stereo.size(), n * 2));
        for (std::size_t i = 0; i < n; ++i)
            d.stereo[2 * i] = d.stereo[2 * i + 1] = in[i];
        in = d.stereo.data();
    }
    d.down->take(in, n);
}

void fillOutput(Duplex& d, float* out, std::size_t n) {
    if (d.outChannels == 2) {
        d.up->fill(out, n);
        return;
    }
    d.stereo.resize(std::max(d.stereo.size(), n * 2));
    d.up->fill(d.stereo.data(), n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = d.stereo[2 * i];
}

int onAudio(const void* in, void* out, unsigned long n, const PaStreamCallbackTimeInfo*,
            PaStreamCallbackFlags flags, void* user) {
    auto* d = static_cast<Duplex*>(user);
    Engine& e = *d->engine;
    if (flags & paInputOverflow) {
        e.inputOverflows.fetch_add(1, std::memory_order_relaxed);
        e.noteGlitch();
    }
    if (flags & paOutputUnderflow) {
        // The gap comes back a round trip after this callback's output.
        e.outputUnderflows.fetch_add(1, std::memory_order_relaxed);
        const std::int64_t back = e.outFrames() + e.latency.load();
        e.glitches.note(back, back + static_cast<std::int64_t>(n));
    }
    if (d->up) {
        takeInput(*d, static_cast<const float*>(in), n);
        fillOutput(*d, static_cast<float*>(out), n);
    } else {
        e.storeInput(static_cast<const std::int32_t*>(in), d->inChannels, n);
        e.renderOutput(static_cast<std::int32_t*>(out), d->outChannels, n);
    }
    return paContinue;
}

// The rate to run at. A device's "default" rate is what PortAudio prefers,
// 44100, even where the device converts everything to 48000: ALSA's dmix,
// PipeWire's ALSA plugin. 48000 where the device takes it, so that any
// conversion is ours; else the device's own.
int streamRate(PaDeviceIndex in, PaDeviceIndex out, const Duplex& d, const PaDeviceInfo* outInfo) {
    const PaStreamParameters ip{in, d.inChannels, paFloat32, 0.1, nullptr};
    const PaStreamParameters op{out, d.outChannels, paFloat32, 0.1, nullptr};
    if (Pa_IsFormatSupported(&ip, &op, 48000) == paFormatIsSupported)
        return 48000;
    return outInfo->defaultSampleRate > 0 ? static_cast<int>(outInfo->defaultSampleRate) : 44100;
}

bool openStream(Engine& e, const PortAudioSound::Options& o, Duplex& d, PaStream** stream) {
    const PaDeviceIndex inDev = pickDevice(o.inputDevice, Use::Input);
    const PaDeviceIndex outDev = pickDevice(o.outputDevice, Use::Output);
    const PaDeviceInfo* inInfo = inDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(inDev);
    const PaDeviceInfo* outInfo = outDev == paNoDevice ? nullptr : Pa_GetDeviceInfo(outDev);
    if (!inInfo || !outInfo || inInfo->maxInputChannels < 1 || outInfo->maxOutputChannels < 1) {
        e.fail("No sound device found");
        return false;
    }
    d.inChannels = inInfo->maxInputChannels >= 2 ? 2 : 1;
    d.outChannels = outInfo->maxOutputChannels >= 2 ? 2 : 1;
    d.rate = streamRate(inDev, outDev, d, outInfo);
    const PaSampleFormat format = d.rate == 44100 ? paInt32 : paFloat32;
    if (d.rate != 44100) {
        d.up = std::make_unique<ConvertedOutput>(e, d.rate);
        d.down = std::make_unique<ConvertedInput>(e, d.rate);
    }
    // 0.1 s: shorter latencies stall or underrun through a sound server.
    PaStreamParameters ip{inDev, d.inChannels, format, 0.1, nullptr};
    PaStreamParameters op{outDev, d.outChannels, format, 0.1, nullptr};
    // Unspecified buffer size: a fixed one repeats a stale input frame
    // every period on some hosts.
    PaError err = Pa_OpenStream(stream, &ip, &op, d.rate, paFramesPerBufferUnspecified, paClipOff,
                                onAudio, &d);
    if (err == paNoError) {
        err = Pa_StartStream(*stream);
        if (err != paNoError) {
            Pa_CloseStream(*stream);
            *stream = nullptr;
        }
    }
    if (err != paNoError) {
        e.fail(err == paDeviceUnavailable ? "Sound device busy"
                                          : "Sound device could not be opened");
        return false;
    }
    e.deviceRate.store(d.rate);
    std::lock_guard lock(e.m);
    e.description = std::string("ALSA: output ") + outInfo->name + ", input " + inInfo->name +
                    ", one duplex stream at " + std::to_string(d.rate) + " Hz" +
                    (d.up ? ", converted from 44100 Hz by libsoxr" : "");
    return true;
}

} // namespace

void runPortAudio(Engine& e, const SoundOptions& o) {
    if (e.waitStop(std::chrono::milliseconds(0)))
        return; // closed before the fallback began: no probe to wait for
    if (initialiseQuietly() != paNoError) {
        e.fail("No sound device found");
        return;
    }
    Duplex d;
    d.engine = &e;
    PaStream* stream = nullptr;
    if (openStream(e, o, d, &stream)) {
        const PaStreamInfo* si = Pa_GetStreamInfo(stream);
        const double s = si ? si->inputLatency + si->outputLatency : 0.2;
        e.probeAgain();
        if (e.measureLatency(static_cast<std::int64_t>(s * 44100.0 + 0.5)) && d.down) {
            makeRoundTripWhole(e, *d.down);
            keepRoundTripWhole(e, *d.down);
        }
        if (!e.waitStop(std::chrono::milliseconds(0))) {
            e.setState(Engine::State::Ready);
            e.serve([stream] { return Pa_IsStreamActive(stream) == 1; });
            e.realign = nullptr;
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
    for (DeviceInfo& d : hostDevices())
        if (d.inputs > 0 || d.outputs > 0)
            out.push_back(std::move(d));
    Pa_Terminate();
    return out;
}

} // namespace qelvar::audio

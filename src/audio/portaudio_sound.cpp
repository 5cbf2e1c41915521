#include "audio/portaudio_sound.h"

#include "audio/duplex_core.h"
#include "audio/pa_host.h"

#include <thread>

namespace qelvar::audio {

PortAudioSound::PortAudioSound(Options options)
    : core_(std::make_shared<Core>(std::move(options))), created_(std::chrono::steady_clock::now()) {
    // The thread owns a share of the core, so a worker stuck in a hung
    // server outlives this object safely.
    std::thread([core = core_] { core->run(); }).detach();
}

PortAudioSound::~PortAudioSound() {
    std::unique_lock lock(core_->m);
    core_->stopping = true;
    core_->cv.notify_all();
    // A worker stuck in Pa_Initialize is left to finish on its own.
    core_->cv.wait_for(lock, std::chrono::milliseconds(500), [this] { return core_->exited; });
}

long PortAudioSound::playSound(const std::string& name, unsigned flags) {
    if (state() == State::Failed)
        return 0;
    if (flags & kSndPurge) {
        core_->player.post(nullptr);
        return 1;
    }
    auto clip = readClip(name);
    if (!clip) {
        // Like the platform's player, a one-shot request ends the looping
        // sound even when its own file can't be played; a failed loop
        // request leaves the current sound alone.
        if (!(flags & kSndLoop))
            core_->player.post(nullptr);
        return 0;
    }
    auto sound = std::make_unique<Sound>();
    sound->clip = std::move(*clip);
    sound->loop = (flags & kSndLoop) != 0;
    core_->player.post(std::move(sound));
    return 1;
}

long PortAudioSound::mciSendString(const std::string& command, std::string* returnBuffer) {
    if (returnBuffer)
        returnBuffer->clear();
    // Until the round trip is known a take can't be lined up.
    if (state() != State::Ready)
        return kMciErrNoDevice;
    return core_->recorder.command(command, core_->latency.load());
}

std::string PortAudioSound::statusText() const {
    std::lock_guard lock(core_->m);
    const State s = core_->state.load();
    if (s == State::Failed)
        return core_->status;
    // A sound server that hangs can hold the opening for minutes; say so
    // rather than nothing.
    if (s == State::Opening && std::chrono::steady_clock::now() - created_ > kOpeningPatience)
        return "Sound device not answering";
    return {};
}

PortAudioSound::State PortAudioSound::state() const {
    return core_->state.load();
}

bool PortAudioSound::waitReady(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(core_->m);
    core_->cv.wait_for(lock, timeout, [this] {
        const State s = core_->state.load();
        return s == State::Ready || s == State::Failed;
    });
    return core_->state.load() == State::Ready;
}

std::int64_t PortAudioSound::latencyFrames() const {
    return core_->latency.load();
}
bool PortAudioSound::latencyMeasured() const {
    return core_->measured.load();
}
std::int64_t PortAudioSound::inputOverflows() const {
    return core_->inputOverflows.load();
}
std::int64_t PortAudioSound::outputUnderflows() const {
    return core_->outputUnderflows.load();
}
std::int64_t PortAudioSound::keptFrames() const {
    return core_->recorder.keptFrames();
}
std::int64_t PortAudioSound::takeLag() const {
    return core_->recorder.takeLag();
}
bool PortAudioSound::takeLagFound() const {
    return core_->recorder.takeLagFound();
}

std::vector<DeviceInfo> PortAudioSound::listDevices() {
    std::vector<DeviceInfo> out;
    if (initialiseQuietly() != paNoError)
        return out;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
        if (d && d->name && (d->maxInputChannels > 0 || d->maxOutputChannels > 0))
            out.push_back({d->name, d->maxInputChannels, d->maxOutputChannels});
    }
    Pa_Terminate();
    return out;
}

} // namespace qelvar::audio

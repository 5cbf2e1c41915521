#include "audio/pulse_sound.h"

#include "audio/aligner.h"
#include "audio/converted_io.h"
#include "audio/portaudio_sound.h"
#include "audio/pulse_client.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <memory>

namespace qelvar::audio {
namespace {

constexpr int kRate = 44100;
// Playback buffer: long enough to ride out a busy machine, short enough
// that a sweep's last reading is not kept waiting.
constexpr double kPlayBufferS = 0.08;
// The output is topped up every 10 ms. The input comes in fragments of
// 25 ms: small enough that a monitor delivers its first frames at once
// (with the server's default it takes about two seconds), large enough
// that PipeWire, which runs its graph at the shortest period its streams
// ask for, keeps its default of 1024 frames. At 256 (5 ms) a wake-up that
// comes late on a busy or virtual machine makes the graph skip a period,
// and the round trip grows by that much unannounced.
constexpr double kPlayRequestS = 0.01;
constexpr double kRecordFragmentS = 0.025;
constexpr auto kConnectPatience = std::chrono::seconds(30);
// While the device is gone: how often to look for it, and how long a look
// may wait for the server.
constexpr auto kLookEvery = std::chrono::milliseconds(1000);
constexpr auto kLookPatience = std::chrono::milliseconds(1000);
// The sink that stands in while there is no card (module-always-sink): not
// a device to come back to.
constexpr const char* kStandIn = "auto_null";
// Serving checks the path every 5 ms; the defaults are asked for every
// this many checks.
constexpr int kAskDefaultsEvery = 200;

std::uint32_t bytesFor(const pa_sample_spec& format, double seconds) {
    return static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(seconds * 1e6), &format));
}

// One direction of the path. At 44100 the stream carries the program's own
// 32-bit frames (a 16-bit sound shifted up, so a sink of any depth passes
// it unchanged); at any other rate floats, converted here.
struct Direction {
    pa_stream* stream = nullptr;
    int rate = kRate;
    bool converting() const { return rate != kRate; }
    std::size_t frameBytes() const { return 8; }
};

struct Streams {
    Engine* engine = nullptr;
    PulseClient client;
    Direction play, rec;
    std::unique_ptr<ConvertedOutput> up; // set where the rate is not 44100
    std::unique_ptr<ConvertedInput> down;
    std::atomic<bool> heard{false}; // the input has delivered its first frames
    // The server's defaults the path follows (empty: a device chosen by
    // name, or not the default), and the defaults last seen; both under
    // the main loop's lock.
    std::string followSink, followSource;
    std::string seenSink, seenSource;
    int sinceAsked = 0;

    // Asks the server for its defaults now and then (main loop locked);
    // false once one the path follows has changed: a card unplugged, or
    // another one chosen on the desktop.
    bool defaultsHeld();

    void write(pa_stream* st, std::size_t bytes);
    void read(pa_stream* st);
    bool ready(pa_stream* s) const { return s && pa_stream_get_state(s) == PA_STREAM_READY; }
};

void Streams::write(pa_stream* st, std::size_t bytes) {
    void* buf = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(st, &buf, &size) < 0 || !buf)
        return;
    const std::size_t frames = size / play.frameBytes();
    if (up)
        up->fill(static_cast<float*>(buf), frames);
    else
        engine->renderOutput(static_cast<std::int32_t*>(buf), 2, frames);
    pa_stream_write(st, buf, frames * play.frameBytes(), nullptr, 0, PA_SEEK_RELATIVE);
}

void Streams::read(pa_stream* st) {
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(st, &data, &bytes) < 0 || bytes == 0)
            return;
        const std::size_t frames = bytes / rec.frameBytes();
        if (!data)
            engine->noteGlitch(); // a hole: frames the server lost; kept as silence
        if (down)
            down->take(static_cast<const float*>(data), frames);
        else
            engine->storeInput(static_cast<const std::int32_t*>(data), 2, frames);
        pa_stream_drop(st);
        heard.store(true, std::memory_order_release);
    }
}

void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
    auto& s = *static_cast<Streams*>(user);
    if (!info)
        return;
    s.seenSink = info->default_sink_name ? info->default_sink_name : "";
    s.seenSource = info->default_source_name ? info->default_source_name : "";
}

bool Streams::defaultsHeld() {
    if (followSink.empty() && followSource.empty())
        return true;
    if (sinceAsked++ % kAskDefaultsEvery == 0)
        if (pa_operation* op = pa_context_get_server_info(client.context(), onServerInfo, this))
            pa_operation_unref(op);
    return (followSink.empty() || seenSink.empty() || seenSink == followSink) &&
           (followSource.empty() || seenSource.empty() || seenSource == followSource);
}

void onWrite(pa_stream* st, std::size_t bytes, void* user) {
    static_cast<Streams*>(user)->write(st, bytes);
}
void onRead(pa_stream* st, std::size_t, void* user) {
    static_cast<Streams*>(user)->read(st);
}

void onUnderflow(pa_stream*, void* user) {
    Engine& e = *static_cast<Streams*>(user)->engine;
    e.outputUnderflows.fetch_add(1, std::memory_order_relaxed);
    // The gap is somewhere in what the device still held of the output
    // (at most its buffer before the last frame written), and comes back a
    // round trip later.
    const std::int64_t back = e.outFrames() + e.latency.load();
    e.glitches.note(back - static_cast<std::int64_t>(2 * kPlayBufferS * kRate), back + 1);
}

void onOverflow(pa_stream*, void* user) {
    Engine& e = *static_cast<Streams*>(user)->engine;
    e.inputOverflows.fetch_add(1, std::memory_order_relaxed);
    e.noteGlitch();
}

// The device was suspended or woke up (a desktop's idle suspend, or a
// user's): the server reports neither as an underflow or an overflow, yet
// the frames on their way across it may have been dropped, and what comes
// back no longer lines up with what played. Noted as trouble over every
// input frame that can hold them: from what has come back, up to what the
// output has written plus its round trip.
void onSuspended(pa_stream*, void* user) {
    Engine& e = *static_cast<Streams*>(user)->engine;
    const std::int64_t back = e.outFrames() + e.latency.load();
    const std::int64_t buffered = static_cast<std::int64_t>(2 * kPlayBufferS * kRate);
    e.glitches.note(std::min(e.inFrames(), back - buffered), back + 1,
                    GlitchLog::Trouble::Suspended);
}

void onState(pa_stream*, void* user) {
    pa_threaded_mainloop_signal(static_cast<Streams*>(user)->client.loop(), 0);
}

pa_stream* newStream(Streams& s, Direction& d, const char* name) {
    const pa_sample_spec format{d.converting() ? PA_SAMPLE_FLOAT32NE : PA_SAMPLE_S32NE,
                                static_cast<std::uint32_t>(d.rate), 2};
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
    // Should the server convert after all, at its best (PipeWire).
    pa_proplist_sets(props, "resample.quality", "14");
    pa_stream* st = pa_stream_new_with_proplist(s.client.context(), name, &format, &map, props);
    pa_proplist_free(props);
    if (st)
        pa_stream_set_state_callback(st, onState, &s);
    return st;
}

// Waits (main loop locked) until the stream is ready; false when it failed.
bool awaitReady(Streams& s, pa_stream* st) {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(st);
        if (state == PA_STREAM_READY)
            return true;
        if (!PA_STREAM_IS_GOOD(state))
            return false;
        pa_threaded_mainloop_wait(s.client.loop());
    }
}

bool connectRecord(Streams& s, const std::string& source) {
    Direction& d = s.rec;
    if (d.converting())
        s.down = std::make_unique<ConvertedInput>(*s.engine, d.rate);
    d.stream = newStream(s, d, "qelvar input");
    if (!d.stream)
        return false;
    pa_stream_set_read_callback(d.stream, onRead, &s);
    pa_stream_set_overflow_callback(d.stream, onOverflow, &s);
    pa_stream_set_suspended_callback(d.stream, onSuspended, &s);
    const pa_sample_spec* format = pa_stream_get_sample_spec(d.stream);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    // Small fragments: a monitor otherwise delivers its first data only
    // after about two seconds.
    attr.fragsize = bytesFor(*format, kRecordFragmentS);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    return pa_stream_connect_record(d.stream, source.c_str(), &attr, flags) == 0 &&
           awaitReady(s, d.stream);
}

bool connectPlay(Streams& s, const std::string& sink) {
    Direction& d = s.play;
    if (d.converting())
        s.up = std::make_unique<ConvertedOutput>(*s.engine, d.rate);
    d.stream = newStream(s, d, "qelvar output");
    if (!d.stream)
        return false;
    pa_stream_set_write_callback(d.stream, onWrite, &s);
    pa_stream_set_underflow_callback(d.stream, onUnderflow, &s);
    pa_stream_set_suspended_callback(d.stream, onSuspended, &s);
    const pa_sample_spec* format = pa_stream_get_sample_spec(d.stream);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytesFor(*format, kPlayBufferS);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = bytesFor(*format, kPlayRequestS);
    // The program's own signal at unity gain, whatever volume the server
    // remembers for it.
    pa_cvolume unity;
    pa_cvolume_set(&unity, 2, PA_VOLUME_NORM);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE | PA_STREAM_START_UNMUTED);
    return pa_stream_connect_playback(d.stream, sink.c_str(), &attr, flags, &unity, nullptr) == 0 &&
           awaitReady(s, d.stream);
}

void disconnect(Streams& s) {
    pa_threaded_mainloop_lock(s.client.loop());
    for (Direction* d : {&s.play, &s.rec})
        if (d->stream) {
            // No callback may reach the streams' state once this returns:
            // the server's answer to the disconnect can still come later.
            pa_stream_set_read_callback(d->stream, nullptr, nullptr);
            pa_stream_set_write_callback(d->stream, nullptr, nullptr);
            pa_stream_set_overflow_callback(d->stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(d->stream, nullptr, nullptr);
            pa_stream_set_suspended_callback(d->stream, nullptr, nullptr);
            pa_stream_set_state_callback(d->stream, nullptr, nullptr);
            pa_stream_disconnect(d->stream);
            pa_stream_unref(d->stream);
            d->stream = nullptr;
        }
    pa_threaded_mainloop_unlock(s.client.loop());
}

// Chooses the devices and their rates: the server's own rate where it is
// higher than the device's (PipeWire runs its graph at 48000 while a sink
// may say 44100), so the server has nothing left to convert.
bool chooseDevices(Engine& e, Streams& s, const SoundOptions& o, std::string& sink,
                   std::string& source) {
    const PulseServer server = s.client.server();
    const auto sinks = s.client.sinks();
    const auto sources = s.client.sources();
    const DeviceInfo* out = matchDevice(sinks, o.outputDevice, Use::Output, server.defaultSink);
    const DeviceInfo* in = matchDevice(sources, o.inputDevice, Use::Input, server.defaultSource);
    if (!out || !in) {
        e.fail("No sound device found");
        return false;
    }
    sink = out->name;
    source = in->name;
    // With no device named the path follows the server's defaults.
    s.followSink = o.outputDevice.empty() && sink == server.defaultSink ? sink : "";
    s.followSource = o.inputDevice.empty() && source == server.defaultSource ? source : "";
    s.play.rate = std::max(out->rate, server.rate);
    s.rec.rate = std::max(in->rate, server.rate);
    if (s.play.rate <= 0 || s.rec.rate <= 0)
        s.play.rate = s.rec.rate = kRate;
    e.deviceRate.store(s.play.rate);
    e.deviceBits.store(out->bits && in->bits ? std::min(out->bits, in->bits) : 0);
    std::lock_guard lock(e.m);
    e.description =
        "output " + sink + " at " + std::to_string(s.play.rate) + " Hz, input " + source + " at " +
        std::to_string(s.rec.rate) + " Hz" +
        (s.play.rate != kRate || s.rec.rate != kRate ? ", converted from 44100 Hz by libsoxr" : "");
    return true;
}

} // namespace

bool runPulse(Engine& e, const SoundOptions& o) {
    Streams s;
    s.engine = &e;
    if (!s.client.connect(kConnectPatience)) {
        if (!s.client.timedOut())
            return false;
        e.fail("Sound device not answering");
        return true;
    }
    std::string sink, source;
    if (!chooseDevices(e, s, o, sink, source))
        return true;
    // Both streams at once: a sink that idles (a null sink) wakes for the
    // new output, so the input starts in tens of ms rather than seconds.
    e.setInputBase(e.nextInputBase());
    pa_threaded_mainloop_lock(s.client.loop());
    bool ok = connectRecord(s, source) && connectPlay(s, sink);
    pa_threaded_mainloop_unlock(s.client.loop());
    for (int i = 0; ok && i < 500 && !s.heard.load(); ++i)
        if (e.waitStop(std::chrono::milliseconds(10)))
            ok = false;
    if (!ok) {
        if (e.state.load() != Engine::State::Failed)
            e.fail("Sound device could not be opened");
        disconnect(s);
        return true;
    }
    // The probe once the input runs, so it can't be missed.
    e.probeAgain();
    if (e.measureLatency(static_cast<std::int64_t>((kPlayBufferS + 0.05) * kRate)) && s.down) {
        makeRoundTripWhole(e, *s.down);
        keepRoundTripWhole(e, *s.down);
    }
    if (!e.waitStop(std::chrono::milliseconds(0))) {
        e.setState(Engine::State::Ready);
        e.serve([&s] {
            pa_threaded_mainloop_lock(s.client.loop());
            const bool up = s.client.alive() && s.ready(s.play.stream) && s.ready(s.rec.stream) &&
                            s.defaultsHeld();
            pa_threaded_mainloop_unlock(s.client.loop());
            return up;
        });
        e.realign = nullptr;
    }
    disconnect(s);
    return true;
}

namespace {

// Whether the server answers and has the devices `o` asks for.
bool devicesThere(const SoundOptions& o) {
    PulseClient c;
    if (!c.connect(kLookPatience))
        return false;
    const PulseServer server = c.server();
    const auto sinks = c.sinks();
    const auto sources = c.sources();
    const DeviceInfo* out = matchDevice(sinks, o.outputDevice, Use::Output, server.defaultSink);
    const DeviceInfo* in = matchDevice(sources, o.inputDevice, Use::Input, server.defaultSource);
    return out && in && (!o.outputDevice.empty() || out->name != kStandIn);
}

// After the device went away (a card unplugged, a sink unloaded, the
// server restarted) or could not be opened: looks every second whether it
// is there again, and opens it when it is. The same name finds the same
// device; with none given, the server's default.
void keepOpening(Engine& e, const SoundOptions& o) {
    while (!e.waitStop(kLookEvery)) {
        if (e.state.load() != Engine::State::Failed || !devicesThere(o))
            continue;
        if (e.waitStop(std::chrono::milliseconds(0)))
            return;
        e.reopen();
        if (!runPulse(e, o) && e.state.load() != Engine::State::Failed)
            e.fail("No sound device found");
    }
}

} // namespace

PulseSound::PulseSound(Options options) : options_(options) {
    start([o = std::move(options)](Engine& e) {
        if (!runPulse(e, o))
            e.fail("No sound device found");
        keepOpening(e, o);
    });
}

SystemSound::SystemSound(SoundOptions options) : options_(options) {
    start([o = std::move(options)](Engine& e) {
        if (runPulse(e, o))
            keepOpening(e, o);
        else
            runPortAudio(e, o);
    });
}

bool PulseSound::serverAnswers(std::chrono::milliseconds timeout) {
    PulseClient c;
    return c.connect(timeout);
}

std::optional<std::vector<DeviceInfo>> PulseSound::listDevices(std::chrono::milliseconds timeout) {
    PulseClient c;
    if (!c.connect(timeout))
        return std::nullopt;
    std::vector<DeviceInfo> out = c.sinks();
    const std::vector<DeviceInfo> sources = c.sources();
    out.insert(out.end(), sources.begin(), sources.end());
    return out;
}

} // namespace qelvar::audio

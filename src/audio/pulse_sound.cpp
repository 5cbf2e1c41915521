#include "audio/pulse_sound.h"

#include "audio/aligner.h"
#include "audio/portaudio_sound.h"
#include "audio/pulse_client.h"
#include "audio/rate_converter.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <memory>

namespace qelvar::audio {
namespace {

constexpr int kRate = 44100;
// Frames the program renders or stores at a time when converting.
constexpr std::size_t kBlock = 256;
// Playback buffer: long enough to ride out a busy machine, short enough
// that a sweep's last reading is not kept waiting.
constexpr double kPlayBufferS = 0.08;
constexpr double kRecordFragmentS = 0.01;
constexpr auto kConnectPatience = std::chrono::seconds(30);

std::uint32_t bytesFor(const pa_sample_spec& spec, double seconds) {
    return static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(seconds * 1e6), &spec));
}

// One direction of the path. At 44100 the stream carries the program's own
// 16-bit frames; at any other rate floats, converted here.
struct Direction {
    pa_stream* stream = nullptr;
    int rate = kRate;
    std::unique_ptr<RateConverter> convert; // null at 44100
    std::vector<float> in, out;             // conversion work
    std::size_t outPos = 0;                 // first unread frame of `out`
    std::vector<std::int16_t> frames16;

    bool converting() const { return convert != nullptr; }
    std::size_t frameBytes() const { return converting() ? 8 : 4; }
};

struct Streams {
    Engine* engine = nullptr;
    PulseClient client;
    Direction play, rec;
    std::atomic<bool> heard{false}; // the input has delivered its first frames
    // Frames of silence at the device's rate still to be put before the
    // input's next frames (read() takes them).
    std::atomic<int> pad{0};

    void write(std::size_t bytes);
    void read();
    void storeConverted(const float* data, std::size_t frames);
    bool ready(pa_stream* s) const { return s && pa_stream_get_state(s) == PA_STREAM_READY; }
};

void Streams::write(std::size_t bytes) {
    Direction& d = play;
    void* buf = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(d.stream, &buf, &size) < 0 || !buf)
        return;
    const std::size_t frames = size / d.frameBytes();
    if (!d.converting()) {
        engine->renderOutput(static_cast<std::int16_t*>(buf), 2, frames);
    } else {
        d.frames16.resize(kBlock * 2);
        d.in.resize(kBlock * 2);
        while ((d.out.size() / 2) - d.outPos < frames) {
            engine->renderOutput(d.frames16.data(), 2, kBlock);
            for (std::size_t i = 0; i < kBlock * 2; ++i)
                d.in[i] = static_cast<float>(d.frames16[i]) / 32768.0f;
            d.convert->process(d.in.data(), kBlock, d.out);
        }
        std::copy_n(d.out.begin() + static_cast<std::ptrdiff_t>(d.outPos * 2), frames * 2,
                    static_cast<float*>(buf));
        d.outPos += frames;
        if (d.outPos * 2 >= d.out.size() / 2) { // keep the buffer from creeping
            d.out.erase(d.out.begin(), d.out.begin() + static_cast<std::ptrdiff_t>(d.outPos * 2));
            d.outPos = 0;
        }
    }
    pa_stream_write(d.stream, buf, frames * d.frameBytes(), nullptr, 0, PA_SEEK_RELATIVE);
}

void Streams::storeConverted(const float* data, std::size_t frames) {
    Direction& d = rec;
    d.out.clear();
    d.convert->process(data, frames, d.out);
    const std::size_t n = d.out.size() / 2;
    d.frames16.resize(std::max(d.frames16.size(), n * 2));
    for (std::size_t i = 0; i < n * 2; ++i)
        d.frames16[i] = toInt16(d.out[i]);
    engine->storeInput(d.frames16.data(), 2, n);
}

void Streams::read() {
    Direction& d = rec;
    if (const int n = pad.exchange(0); n > 0 && d.converting()) {
        d.in.assign(static_cast<std::size_t>(n) * 2, 0.0f);
        storeConverted(d.in.data(), static_cast<std::size_t>(n));
    }
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(d.stream, &data, &bytes) < 0 || bytes == 0)
            return;
        const std::size_t frames = bytes / d.frameBytes();
        if (!data)
            engine->noteGlitch(); // a hole: frames the server lost; kept as silence
        if (!d.converting()) {
            engine->storeInput(static_cast<const std::int16_t*>(data), 2, frames);
        } else if (data) {
            storeConverted(static_cast<const float*>(data), frames);
        } else {
            d.in.assign(frames * 2, 0.0f);
            storeConverted(d.in.data(), frames);
        }
        pa_stream_drop(d.stream);
        heard.store(true, std::memory_order_release);
    }
}

void onWrite(pa_stream*, std::size_t bytes, void* user) { static_cast<Streams*>(user)->write(bytes); }
void onRead(pa_stream*, std::size_t, void* user) { static_cast<Streams*>(user)->read(); }

void onUnderflow(pa_stream*, void* user) {
    Engine& e = *static_cast<Streams*>(user)->engine;
    e.outputUnderflows.fetch_add(1, std::memory_order_relaxed);
    // The gap comes back a round trip after the last frame written.
    e.glitches.note(e.outFrames() + e.latency.load());
}

void onOverflow(pa_stream*, void* user) {
    Engine& e = *static_cast<Streams*>(user)->engine;
    e.inputOverflows.fetch_add(1, std::memory_order_relaxed);
    e.noteGlitch();
}

void onState(pa_stream*, void* user) {
    pa_threaded_mainloop_signal(static_cast<Streams*>(user)->client.loop(), 0);
}

pa_stream* newStream(Streams& s, Direction& d, const char* name) {
    const pa_sample_spec spec{d.converting() ? PA_SAMPLE_FLOAT32NE : PA_SAMPLE_S16NE,
                              static_cast<std::uint32_t>(d.rate), 2};
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
    // Should the server convert after all, at its best (PipeWire).
    pa_proplist_sets(props, "resample.quality", "14");
    pa_stream* st = pa_stream_new_with_proplist(s.client.context(), name, &spec, &map, props);
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
    if (d.rate != kRate)
        d.convert = std::make_unique<RateConverter>(d.rate, kRate);
    d.stream = newStream(s, d, "qelvar input");
    if (!d.stream)
        return false;
    pa_stream_set_read_callback(d.stream, onRead, &s);
    pa_stream_set_overflow_callback(d.stream, onOverflow, &s);
    const pa_sample_spec* spec = pa_stream_get_sample_spec(d.stream);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    // Small fragments: a monitor otherwise delivers its first data only
    // after about two seconds.
    attr.fragsize = bytesFor(*spec, kRecordFragmentS);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    return pa_stream_connect_record(d.stream, source.c_str(), &attr, flags) == 0 &&
           awaitReady(s, d.stream);
}

bool connectPlay(Streams& s, const std::string& sink) {
    Direction& d = s.play;
    if (d.rate != kRate)
        d.convert = std::make_unique<RateConverter>(kRate, d.rate);
    d.stream = newStream(s, d, "qelvar output");
    if (!d.stream)
        return false;
    pa_stream_set_write_callback(d.stream, onWrite, &s);
    pa_stream_set_underflow_callback(d.stream, onUnderflow, &s);
    const pa_sample_spec* spec = pa_stream_get_sample_spec(d.stream);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytesFor(*spec, kPlayBufferS);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = bytesFor(*spec, kRecordFragmentS);
    // The program's own signal at unity gain, whatever volume the server
    // remembers for it.
    pa_cvolume unity;
    pa_cvolume_set(&unity, 2, PA_VOLUME_NORM);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                                      PA_STREAM_START_UNMUTED);
    return pa_stream_connect_playback(d.stream, sink.c_str(), &attr, flags, &unity, nullptr) == 0 &&
           awaitReady(s, d.stream);
}

void disconnect(Streams& s) {
    pa_threaded_mainloop_lock(s.client.loop());
    for (Direction* d : {&s.play, &s.rec})
        if (d->stream) {
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
    const PulseDevice* out = matchPulseDevice(sinks, o.outputDevice, server.defaultSink);
    const PulseDevice* in = matchPulseDevice(sources, o.inputDevice, server.defaultSource);
    if (!out || !in) {
        e.fail("No sound device found");
        return false;
    }
    sink = out->name;
    source = in->name;
    s.play.rate = std::max(out->rate, server.rate);
    s.rec.rate = std::max(in->rate, server.rate);
    if (s.play.rate <= 0 || s.rec.rate <= 0)
        s.play.rate = s.rec.rate = kRate;
    e.deviceRate.store(s.play.rate);
    std::lock_guard lock(e.m);
    e.description = "output " + sink + " at " + std::to_string(s.play.rate) + " Hz, input " +
                    source + " at " + std::to_string(s.rec.rate) + " Hz" +
                    (s.play.rate != kRate || s.rec.rate != kRate ? ", converted from 44100 Hz by libsoxr" : "");
    return true;
}

// Where rates are converted the round trip is rarely a whole number of
// frames at 44100, and a take lined up to the nearest frame then differs
// from what was played by a fraction of a frame: enough to hide the round
// trip of a high tone among its neighbours. Silence put before the input's
// conversion moves it by steps of 44100/rate of a frame, which can make it
// whole to within 1/320 of a frame; the probe is then played again.
void wholeRoundTrip(Engine& e, Streams& s) {
    s.pad.store(wholeFramePad(e.fraction.load(), s.rec.rate));
    for (int i = 0; i < 100 && s.pad.load() > 0; ++i)
        if (e.waitStop(std::chrono::milliseconds(5)))
            return;
    e.probeAgain();
    e.measureLatency(e.latency.load());
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
    e.setInputBase(Engine::kInputBase);
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
    if (e.measureLatency(static_cast<std::int64_t>((kPlayBufferS + 0.05) * kRate)) &&
        s.rec.converting())
        wholeRoundTrip(e, s);
    if (!e.waitStop(std::chrono::milliseconds(0))) {
        e.setState(Engine::State::Ready);
        e.serve([&s] {
            pa_threaded_mainloop_lock(s.client.loop());
            const bool up = s.client.alive() && s.ready(s.play.stream) && s.ready(s.rec.stream);
            pa_threaded_mainloop_unlock(s.client.loop());
            return up;
        });
    }
    disconnect(s);
    return true;
}

PulseSound::PulseSound(Options options) {
    start([o = std::move(options)](Engine& e) {
        if (!runPulse(e, o))
            e.fail("No sound device found");
    });
}

SystemSound::SystemSound(SoundOptions options) {
    start([o = std::move(options)](Engine& e) {
        if (!runPulse(e, o))
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
    std::vector<DeviceInfo> out;
    for (const auto& d : c.sinks())
        out.push_back({d.name, d.description, 0, d.channels});
    for (const auto& d : c.sources())
        out.push_back({d.name, d.description, d.channels, 0});
    return out;
}

} // namespace qelvar::audio

#include "audio/pulse_client.h"

#include <pulse/pulseaudio.h>

#include <thread>

namespace qelvar::audio {
namespace {

void signalLoop(pa_context*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

// Runs one query and waits for its last answer; `done` is set by the
// callbacks. The main loop is locked by the caller.
template <class Done> void await(pa_threaded_mainloop* loop, pa_operation* op, Done done) {
    if (!op)
        return;
    while (!done() && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(op);
}

struct ListQuery {
    pa_threaded_mainloop* loop;
    Use way;
    std::vector<DeviceInfo> devices;
    bool done = false;
};

// The bits a sample of the device's own format carries (a float's
// mantissa: 24).
int formatBits(pa_sample_format_t f) {
    switch (f) {
    case PA_SAMPLE_U8:
    case PA_SAMPLE_ALAW:
    case PA_SAMPLE_ULAW:
        return 8;
    case PA_SAMPLE_S16LE:
    case PA_SAMPLE_S16BE:
        return 16;
    case PA_SAMPLE_S32LE:
    case PA_SAMPLE_S32BE:
        return 32;
    case PA_SAMPLE_S24LE:
    case PA_SAMPLE_S24BE:
    case PA_SAMPLE_S24_32LE:
    case PA_SAMPLE_S24_32BE:
    case PA_SAMPLE_FLOAT32LE:
    case PA_SAMPLE_FLOAT32BE:
        return 24;
    default:
        return 0;
    }
}

template <class Info> void collect(const Info* i, int eol, void* user) {
    auto* q = static_cast<ListQuery*>(user);
    if (eol || !i) {
        q->done = true;
        pa_threaded_mainloop_signal(q->loop, 0);
        return;
    }
    DeviceInfo d{i->name ? i->name : "",
                 i->description ? i->description : "",
                 0,
                 0,
                 static_cast<int>(i->sample_spec.rate),
                 formatBits(i->sample_spec.format)};
    (q->way == Use::Input ? d.inputs : d.outputs) = i->sample_spec.channels;
    q->devices.push_back(std::move(d));
}

void onSink(pa_context*, const pa_sink_info* i, int eol, void* user) {
    collect(i, eol, user);
}
void onSource(pa_context*, const pa_source_info* i, int eol, void* user) {
    collect(i, eol, user);
}

struct FactsQuery {
    pa_threaded_mainloop* loop;
    std::optional<DeviceFacts> facts;
    bool done = false;
    std::uint32_t owner = PA_INVALID_INDEX; // the module that made it
};

std::string property(const pa_proplist* p, const char* key) {
    const char* v = p ? pa_proplist_gets(p, key) : nullptr;
    return v ? v : "";
}

template <class Info> DeviceFacts factsOf(const Info* i, bool hardwareFlag) {
    DeviceFacts d;
    d.name = i->name ? i->name : "";
    d.description = i->description ? i->description : "";
    d.driver = i->driver ? i->driver : "";
    d.deviceClass = property(i->proplist, PA_PROP_DEVICE_CLASS);
    d.master = property(i->proplist, "device.master_device");
    d.linkGroup = property(i->proplist, "node.link-group");
    // PipeWire's card nodes say which API drives them.
    d.hardware = hardwareFlag || !property(i->proplist, PA_PROP_DEVICE_API).empty();
    d.muted = i->mute != 0;
    for (unsigned c = 0; c < i->volume.channels; ++c)
        d.volume.push_back(static_cast<double>(i->volume.values[c]) / PA_VOLUME_NORM);
    return d;
}

template <class Info> FactsQuery* answer(const Info* i, int eol, void* user) {
    auto* q = static_cast<FactsQuery*>(user);
    if (eol || !i) {
        q->done = true;
        pa_threaded_mainloop_signal(q->loop, 0);
        return nullptr;
    }
    return q;
}

// The streams of one link group, and the devices they reach.
struct LinkQuery {
    pa_threaded_mainloop* loop;
    std::string group;
    std::uint32_t device = PA_INVALID_INDEX;
    bool done = false;
};

template <class Info> void linked(const Info* i, std::uint32_t device, int eol, void* user) {
    auto* q = static_cast<LinkQuery*>(user);
    if (eol || !i) {
        q->done = true;
        pa_threaded_mainloop_signal(q->loop, 0);
        return;
    }
    if (property(i->proplist, "node.link-group") == q->group)
        q->device = device;
}

void onSinkInput(pa_context*, const pa_sink_input_info* i, int eol, void* user) {
    linked(i, i ? i->sink : PA_INVALID_INDEX, eol, user);
}
void onSourceOutput(pa_context*, const pa_source_output_info* i, int eol, void* user) {
    linked(i, i ? i->source : PA_INVALID_INDEX, eol, user);
}

// A device's name by its index.
struct NameQuery {
    pa_threaded_mainloop* loop;
    std::string name;
    bool done = false;
};

template <class Info> void named(const Info* i, int eol, void* user) {
    auto* q = static_cast<NameQuery*>(user);
    if (eol || !i) {
        q->done = true;
        pa_threaded_mainloop_signal(q->loop, 0);
        return;
    }
    q->name = i->name ? i->name : "";
}

void onSinkName(pa_context*, const pa_sink_info* i, int eol, void* user) {
    named(i, eol, user);
}
void onSourceName(pa_context*, const pa_source_info* i, int eol, void* user) {
    named(i, eol, user);
}

void onModule(pa_context*, const pa_module_info* i, int eol, void* user) {
    named(i, eol, user);
}

void onSinkFacts(pa_context*, const pa_sink_info* i, int eol, void* user) {
    if (FactsQuery* q = answer(i, eol, user)) {
        q->facts = factsOf(i, (i->flags & PA_SINK_HARDWARE) != 0);
        q->owner = i->owner_module;
    }
}

void onSourceFacts(pa_context*, const pa_source_info* i, int eol, void* user) {
    if (FactsQuery* q = answer(i, eol, user)) {
        q->facts = factsOf(i, (i->flags & PA_SOURCE_HARDWARE) != 0);
        q->owner = i->owner_module;
        if (i->monitor_of_sink != PA_INVALID_INDEX && i->monitor_of_sink_name)
            q->facts->monitorOf = i->monitor_of_sink_name;
    }
}

struct ServerQuery {
    pa_threaded_mainloop* loop;
    PulseServer server;
    bool done = false;
};

void onServer(pa_context*, const pa_server_info* i, void* user) {
    auto* q = static_cast<ServerQuery*>(user);
    if (i) {
        q->server.defaultSink = i->default_sink_name ? i->default_sink_name : "";
        q->server.defaultSource = i->default_source_name ? i->default_source_name : "";
        q->server.rate = static_cast<int>(i->sample_spec.rate);
    }
    q->done = true;
    pa_threaded_mainloop_signal(q->loop, 0);
}

} // namespace

PulseClient::PulseClient() {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "qelvar");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "org.qelvar.Qelvar");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "org.qelvar.Qelvar");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "qelvar", props);
    pa_proplist_free(props);
}

PulseClient::~PulseClient() {
    if (running_) {
        pa_threaded_mainloop_lock(loop_);
        pa_context_disconnect(context_);
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
    }
    if (context_)
        pa_context_unref(context_);
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseClient::connect(std::chrono::milliseconds timeout) {
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, signalLoop, loop_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(loop_) < 0)
        return false;
    running_ = true;
    // A hung server never changes the context's state: look every few ms
    // rather than wait for a signal that may not come.
    const auto until = std::chrono::steady_clock::now() + timeout;
    pa_context_state_t s = PA_CONTEXT_UNCONNECTED;
    for (;;) {
        pa_threaded_mainloop_lock(loop_);
        s = pa_context_get_state(context_);
        pa_threaded_mainloop_unlock(loop_);
        if (s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s))
            break;
        if (std::chrono::steady_clock::now() >= until) {
            timedOut_ = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return s == PA_CONTEXT_READY;
}

bool PulseClient::alive() const {
    return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

PulseServer PulseClient::server() {
    ServerQuery q{loop_, {}, false};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_server_info(context_, onServer, &q), [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    return q.server;
}

std::vector<DeviceInfo> PulseClient::sinks() {
    ListQuery q{loop_, Use::Output, {}, false};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_sink_info_list(context_, onSink, &q), [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    return q.devices;
}

std::vector<DeviceInfo> PulseClient::sources() {
    ListQuery q{loop_, Use::Input, {}, false};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_source_info_list(context_, onSource, &q), [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    return q.devices;
}

std::optional<DeviceFacts> PulseClient::sinkFacts(const std::string& name) {
    FactsQuery q{loop_, std::nullopt, false, PA_INVALID_INDEX};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_sink_info_by_name(context_, name.c_str(), onSinkFacts, &q),
          [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    if (q.facts && q.owner != PA_INVALID_INDEX)
        q.facts->module = moduleName(q.owner);
    return q.facts;
}

std::optional<DeviceFacts> PulseClient::sourceFacts(const std::string& name) {
    FactsQuery q{loop_, std::nullopt, false, PA_INVALID_INDEX};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_source_info_by_name(context_, name.c_str(), onSourceFacts, &q),
          [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    if (q.facts && q.owner != PA_INVALID_INDEX)
        q.facts->module = moduleName(q.owner);
    return q.facts;
}

std::string PulseClient::moduleName(std::uint32_t index) {
    NameQuery q{loop_, {}, false};
    pa_threaded_mainloop_lock(loop_);
    await(loop_, pa_context_get_module_info(context_, index, onModule, &q), [&] { return q.done; });
    pa_threaded_mainloop_unlock(loop_);
    return q.name;
}

std::string PulseClient::linkedDevice(const std::string& linkGroup, bool playback) {
    LinkQuery l{loop_, linkGroup, PA_INVALID_INDEX, false};
    NameQuery n{loop_, {}, false};
    pa_threaded_mainloop_lock(loop_);
    await(loop_,
          playback ? pa_context_get_sink_input_info_list(context_, onSinkInput, &l)
                   : pa_context_get_source_output_info_list(context_, onSourceOutput, &l),
          [&] { return l.done; });
    if (l.device != PA_INVALID_INDEX)
        await(loop_,
              playback ? pa_context_get_sink_info_by_index(context_, l.device, onSinkName, &n)
                       : pa_context_get_source_info_by_index(context_, l.device, onSourceName, &n),
              [&] { return n.done; });
    pa_threaded_mainloop_unlock(loop_);
    return n.name;
}

} // namespace qelvar::audio

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

} // namespace qelvar::audio

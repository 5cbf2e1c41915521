#include "audio/pa_host.h"

#include <alsa/asoundlib.h>
#ifdef QELVAR_HAVE_JACK
#include <jack/jack.h>
#endif

#include <condition_variable>
#include <cstdarg>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace qelvar::audio {
namespace {

void alsaQuiet(const char*, int, const char*, int, const char*, ...) {}
#ifdef QELVAR_HAVE_JACK
void jackQuiet(const char*) {}
#endif

// ALSA loads its device plugins on demand while PortAudio lists devices,
// and unloads them again, leaving some one-time allocations of theirs in
// code that is no longer mapped. Leak checkers then report leaks of an
// unknown owner; in checked builds the plugins stay loaded so the reports
// name them (and the suppression list can tell them apart from ours).
void keepAlsaPluginsResident() {
#if defined(__SANITIZE_ADDRESS__)
    static const bool done = [] {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(ALSA_PLUGIN_DIR, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("libasound_module_pcm_", 0) == 0 ||
                name.rfind("libasound_module_ctl_", 0) == 0 ||
                name.rfind("libasound_module_conf_", 0) == 0)
                dlopen(e.path().c_str(), RTLD_LAZY | RTLD_NODELETE);
        }
        return true;
    }();
    (void)done;
#endif
}

} // namespace

bool jackServerRuns(const std::filesystem::path& shm) {
    const std::string uid = std::to_string(getuid());
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(shm, ec)) {
        const std::string n = e.path().filename().string();
        // JACK 2 (and PipeWire's stand-in) listens on jack_SERVER_UID_0, or
        // jack_SERVER_0 for a server shared between users; JACK 1 keeps a
        // folder, jack-UID or jack.
        if (n.rfind("jack_", 0) == 0 && e.is_socket(ec))
            return true;
        if ((n == "jack-" + uid || n == "jack") && e.is_directory(ec))
            return true;
    }
    return false;
}

namespace {

struct Probes {
    std::mutex m;
    std::condition_variable done;
    int running = 0;
};

Probes& probes() {
    static Probes* p = new Probes; // outlives every thread, even at exit
    return *p;
}

} // namespace

DeviceProbe::DeviceProbe() {
    Probes& p = probes();
    std::lock_guard lock(p.m);
    ++p.running;
}

DeviceProbe::~DeviceProbe() {
    Probes& p = probes();
    {
        std::lock_guard lock(p.m);
        --p.running;
    }
    p.done.notify_all();
}

PaError initialiseQuietly() {
    const DeviceProbe probe;
    keepAlsaPluginsResident();
    snd_lib_error_set_handler(alsaQuiet);
#ifdef QELVAR_HAVE_JACK
    jack_set_error_function(jackQuiet);
    jack_set_info_function(jackQuiet);
#endif
    return Pa_Initialize();
}

bool waitForDeviceProbes(std::chrono::milliseconds limit) {
    Probes& p = probes();
    std::unique_lock lock(p.m);
    return p.done.wait_for(lock, limit, [&p] { return p.running == 0; });
}

std::vector<DeviceInfo> hostDevices() {
    std::vector<DeviceInfo> out;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        DeviceInfo& d = out.emplace_back();
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info || !info->name)
            continue;
        // PortAudio's names say what a device is; it has no other description.
        d.name = d.description = info->name;
        d.inputs = info->maxInputChannels;
        d.outputs = info->maxOutputChannels;
    }
    return out;
}

PaDeviceIndex pickDevice(const std::string& want, Use way) {
    const std::vector<DeviceInfo> devices = hostDevices();
    const PaDeviceIndex def =
        way == Use::Input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    const std::string fallback = def >= 0 && static_cast<std::size_t>(def) < devices.size()
                                     ? devices[static_cast<std::size_t>(def)].name
                                     : "";
    const DeviceInfo* d = matchDevice(devices, want, way, fallback);
    return d ? static_cast<PaDeviceIndex>(d - devices.data()) : paNoDevice;
}

} // namespace qelvar::audio

#ifdef QELVAR_HAVE_JACK
// Every JACK client of this process opens here, before JACK's own library:
// PortAudio's JACK host and ALSA's jack device both try one while devices
// are listed. The executable exports this definition (see the library's
// link options), so the dynamic linker binds their calls to it. With no
// JACK server to reach, a caller that does not want one started gets the
// answer JACK would give, without JACK's library ever taking its lock in
// the shared database.
extern "C" jack_client_t* jack_client_open(const char* name, jack_options_t options,
                                           jack_status_t* status, ...) {
    const char* server = nullptr;
    if (options & JackServerName) {
        va_list ap;
        va_start(ap, status);
        server = va_arg(ap, const char*);
        va_end(ap);
    }
    using Open = jack_client_t* (*)(const char*, jack_options_t, jack_status_t*, ...);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "jack_client_open"));
    if (!real || ((options & JackNoStartServer) && !qelvar::audio::jackServerRuns())) {
        if (status)
            *status = static_cast<jack_status_t>(JackFailure | JackServerFailed);
        return nullptr;
    }
    return server ? real(name, options, status, server) : real(name, options, status);
}
#endif

#include "audio/pa_host.h"

#include <alsa/asoundlib.h>
#ifdef QELVAR_HAVE_JACK
#include <jack/jack.h>
#endif

#include <condition_variable>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>

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

#include "audio/pa_host.h"

#include <alsa/asoundlib.h>
#ifdef QELVAR_HAVE_JACK
#include <jack/jack.h>
#endif

#include <algorithm>
#include <cctype>
#include <dlfcn.h>
#include <filesystem>

namespace qelvar::audio {
namespace {

void alsaQuiet(const char*, int, const char*, int, const char*, ...) {}
#ifdef QELVAR_HAVE_JACK
void jackQuiet(const char*) {}
#endif

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

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

PaError initialiseQuietly() {
    keepAlsaPluginsResident();
    snd_lib_error_set_handler(alsaQuiet);
#ifdef QELVAR_HAVE_JACK
    jack_set_error_function(jackQuiet);
    jack_set_info_function(jackQuiet);
#endif
    return Pa_Initialize();
}

PaDeviceIndex pickDevice(const std::string& want, bool input) {
    if (want.empty())
        return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    const std::string key = lower(want);
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
        if (!d || !d->name)
            continue;
        const int ch = input ? d->maxInputChannels : d->maxOutputChannels;
        if (ch > 0 && lower(d->name).find(key) != std::string::npos)
            return i;
    }
    return paNoDevice;
}

} // namespace qelvar::audio

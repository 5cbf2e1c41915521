#include "audio/devices.h"

#include <algorithm>
#include <cctype>

namespace qelvar::audio {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

const DeviceInfo* matchDevice(const std::vector<DeviceInfo>& devices, std::string_view want,
                              Use way, std::string_view fallback) {
    std::vector<const DeviceInfo*> usable;
    for (const DeviceInfo& d : devices)
        if ((way == Use::Input ? d.inputs : d.outputs) > 0)
            usable.push_back(&d);
    if (want.empty()) {
        for (const DeviceInfo* d : usable)
            if (d->name == fallback)
                return d;
        return usable.empty() ? nullptr : usable.front();
    }
    const std::string key = lower(want);
    for (const DeviceInfo* d : usable)
        if (lower(d->name) == key || lower(d->description) == key)
            return d;
    for (const DeviceInfo* d : usable)
        if (lower(d->name).find(key) != std::string::npos ||
            lower(d->description).find(key) != std::string::npos)
            return d;
    return nullptr;
}

} // namespace qelvar::audio

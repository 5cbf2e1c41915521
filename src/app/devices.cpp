#include "app/devices.h"

#include "common/files.h"
#include "formats/textfile.h"

#include <algorithm>
#include <cctype>

namespace qelvar::app {

DeviceChoice loadDeviceChoice(const std::string& path) {
    DeviceChoice c;
    if (auto data = readWholeFile(path, 1u << 16)) {
        TextValueReader in(*data);
        in.readText(c.output);
        in.readText(c.input);
    }
    return c;
}

bool saveDeviceChoice(const std::string& path, const DeviceChoice& choice) {
    TextValueWriter out;
    out.text(choice.output);
    out.text(choice.input);
    return replaceFile(path, out.contents(), true);
}

namespace {
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}
} // namespace

const DeviceEntry* matchDevice(const std::vector<DeviceEntry>& devices, const std::string& part,
                               bool wantOutput) {
    const std::string needle = lower(part);
    for (const DeviceEntry& d : devices) {
        if ((wantOutput ? d.outputs : d.inputs) <= 0)
            continue;
        if (lower(d.name).find(needle) != std::string::npos ||
            lower(d.description).find(needle) != std::string::npos)
            return &d;
    }
    return nullptr;
}

std::string describeDevices(const std::vector<DeviceEntry>& devices) {
    std::string out;
    for (const DeviceEntry& d : devices)
        out += d.name + " (in " + std::to_string(d.inputs) + ", out " + std::to_string(d.outputs) +
               ")" +
               (d.description.empty() || d.description == d.name ? "" : "  " + d.description) +
               "\n";
    return out;
}

} // namespace qelvar::app

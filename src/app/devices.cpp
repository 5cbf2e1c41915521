#include "app/devices.h"

#include "common/files.h"
#include "formats/textfile.h"

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

std::string describeDevices(const std::vector<audio::DeviceInfo>& devices) {
    std::string out;
    for (const audio::DeviceInfo& d : devices)
        out += d.name + " (in " + std::to_string(d.inputs) + ", out " + std::to_string(d.outputs) +
               ")" +
               (d.description.empty() || d.description == d.name ? "" : "  " + d.description) +
               "\n";
    return out;
}

} // namespace qelvar::app

// The sound devices the program uses: the system's defaults unless the user
// chose others with --output-device / --input-device, a choice remembered
// in the set-up file "wavdevices" in the data directory.
#pragma once

#include <string>
#include <vector>

namespace qelvar::app {

struct DeviceChoice {
    std::string output; // part of a device name; empty: the default device
    std::string input;
};

struct DeviceEntry {
    std::string name;
    int inputs = 0;
    int outputs = 0;
    std::string description; // what the desktop's sound settings call it
};

DeviceChoice loadDeviceChoice(const std::string& path);
bool saveDeviceChoice(const std::string& path, const DeviceChoice& choice);

// The first device whose name or description holds `part` (case ignored)
// and has channels in the wanted direction; nullptr when none.
const DeviceEntry* matchDevice(const std::vector<DeviceEntry>& devices, const std::string& part,
                               bool wantOutput);

// One line a device: "name (in N, out M)", followed by "  DESCRIPTION"
// where the description differs from the name.
std::string describeDevices(const std::vector<DeviceEntry>& devices);

} // namespace qelvar::app

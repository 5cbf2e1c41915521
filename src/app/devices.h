// The sound devices the program uses: the system's defaults unless the user
// chose others with --output-device / --input-device, a choice remembered
// in the set-up file "wavdevices" in the data directory.
#pragma once

#include "audio/devices.h"

#include <string>
#include <vector>

namespace qelvar::app {

struct DeviceChoice {
    std::string output; // part of a device name; empty: the default device
    std::string input;
};

DeviceChoice loadDeviceChoice(const std::string& path);
bool saveDeviceChoice(const std::string& path, const DeviceChoice& choice);

// One line a device: "name (in N, out M)", followed by "  DESCRIPTION"
// where the description differs from the name.
std::string describeDevices(const std::vector<audio::DeviceInfo>& devices);

} // namespace qelvar::app

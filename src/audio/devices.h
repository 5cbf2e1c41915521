// A sound device as the program lists and chooses it, whichever system it
// comes from: the sound server's sinks and sources, or PortAudio's devices.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qelvar::audio {

struct DeviceInfo {
    std::string name;        // what the user types to choose it
    std::string description; // what the desktop's sound settings show
    int inputs = 0;          // channels each way
    int outputs = 0;
    int rate = 0; // its own sample rate where the system says, else 0
    int bits = 0; // the bits its own sample format carries, else 0
};

enum class Use { Input, Output };

// The device to use one way, among those with channels that way. With
// `want` empty: the one named `fallback` (the system's default), else the
// first. Otherwise the first whose name or description is `want`, else the
// first whose name or description holds it, case ignored in both; nullptr
// when none does.
const DeviceInfo* matchDevice(const std::vector<DeviceInfo>& devices, std::string_view want,
                              Use way, std::string_view fallback = {});

} // namespace qelvar::audio

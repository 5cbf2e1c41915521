// The remembered sound device choice, matched against a device list as at
// start-up.
#include "app/devices.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace qelvar::app;
using qelvar::audio::DeviceInfo;
using qelvar::audio::Use;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("wavdevices", data, size);
    DeviceChoice c = loadDeviceChoice(path);
    static const std::vector<DeviceInfo> devices = [] {
        std::vector<DeviceInfo> d(2);
        d[0].name = "pulse";
        d[0].outputs = 2;
        d[0].inputs = 2;
        d[1].name = "HDA Intel PCH: ALC257 Analog (hw:0,0)";
        d[1].outputs = 2;
        return d;
    }();
    (void)qelvar::audio::matchDevice(devices, c.output, Use::Output, "pulse");
    (void)qelvar::audio::matchDevice(devices, c.input, Use::Input, "pulse");
    return 0;
}

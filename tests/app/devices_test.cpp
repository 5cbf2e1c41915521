#include "app/devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qelvar::app;

TEST(Devices, MatchByPartOfTheNameOrDescriptionInTheWantedDirection) {
    const std::vector<DeviceEntry> list = {
        {"HDA Intel PCH: ALC892 Analog (hw:0,0)", 2, 8, ""},
        {"alsa_output.usb-0d8c_USB_Audio-00.analog-stereo", 0, 2, "USB Audio Analog Stereo"},
        {"alsa_output.usb-0d8c_USB_Audio-00.analog-stereo.monitor", 2, 0,
         "Monitor of USB Audio Analog Stereo"},
        {"pulse", 32, 32, ""},
    };
    EXPECT_EQ(matchDevice(list, "usb", true), &list[1]);
    EXPECT_EQ(matchDevice(list, "USB", false), &list[2]);
    // By what the desktop's sound settings show, too.
    EXPECT_EQ(matchDevice(list, "monitor of usb audio", false), &list[2]);
    EXPECT_EQ(
        describeDevices({list[1]}),
        "alsa_output.usb-0d8c_USB_Audio-00.analog-stereo (in 0, out 2)  USB Audio Analog Stereo\n");
    EXPECT_EQ(matchDevice(list, "alc892", false), &list[0]);
    EXPECT_EQ(matchDevice(list, "HDMI", true), nullptr);
    EXPECT_EQ(matchDevice({}, "pulse", true), nullptr);
    EXPECT_EQ(describeDevices({list[3]}), "pulse (in 32, out 32)\n");
}

TEST(Devices, TheChoiceIsRemembered) {
    auto dir = std::filesystem::temp_directory_path() / "qelvar-devices-test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "wavdevices").string();
    std::filesystem::remove(path);
    DeviceChoice none = loadDeviceChoice(path);
    EXPECT_TRUE(none.output.empty() && none.input.empty());
    ASSERT_TRUE(saveDeviceChoice(path, {"USB Audio", "pulse"}));
    DeviceChoice back = loadDeviceChoice(path);
    EXPECT_EQ(back.output, "USB Audio");
    EXPECT_EQ(back.input, "pulse");
    std::ofstream(path, std::ios::binary) << std::string("\0\xff", 2);
    back = loadDeviceChoice(path); // damaged: no crash
    std::filesystem::remove_all(dir);
}

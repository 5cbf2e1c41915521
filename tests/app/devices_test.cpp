#include "app/devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qelvar::app;

TEST(Devices, MatchByPartOfTheNameInTheWantedDirection) {
    const std::vector<DeviceEntry> list = {
        {"HDA Intel PCH: ALC892 Analog (hw:0,0)", 2, 8},
        {"USB Audio CODEC: - (hw:1,0)", 0, 2},
        {"USB Audio CODEC: - (hw:1,1)", 2, 0},
        {"pulse", 32, 32},
    };
    EXPECT_EQ(matchDevice(list, "usb", true), &list[1]);
    EXPECT_EQ(matchDevice(list, "USB", false), &list[2]);
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

// Choosing a device by part of its name, as the options and both backends do.
#include "audio/devices.h"

#include <gtest/gtest.h>

using namespace qelvar::audio;

TEST(MatchDevice, AWholeNameBeatsAnEarlierPartThenPartsOfNamesAndDescriptionsOneWay) {
    const std::vector<DeviceInfo> d = {
        {"loop.monitor", "Monitor of Loop", 2, 0, 0},
        {"usb.loop", "USB Card", 0, 2, 0},
        {"loop", "Loop", 0, 2, 0},
        {"hdmi", "HDMI Out", 0, 8, 0},
    };
    auto pick = [&](const char* want, Use way, const char* fallback = "") {
        const DeviceInfo* m = matchDevice(d, want, way, fallback);
        return m ? m - d.data() : -1;
    };
    EXPECT_EQ(pick("LOOP", Use::Output), 2); // whole, though usb.loop holds it first
    EXPECT_EQ(pick("Loo", Use::Output), 1);
    EXPECT_EQ(pick("usb card", Use::Output), 1); // a whole description
    EXPECT_EQ(pick("monitor of", Use::Input), 0);
    EXPECT_EQ(pick("loop", Use::Input), 0);      // the only way in
    EXPECT_EQ(pick("monitor", Use::Output), -1); // not a way out
    EXPECT_EQ(pick("", Use::Output, "hdmi"), 3); // the default
    EXPECT_EQ(pick("", Use::Output, "gone"), 1); // else the first
    EXPECT_EQ(pick("", Use::Output, "loop.monitor"), 1);
    EXPECT_EQ(pick("no such", Use::Output), -1);
}

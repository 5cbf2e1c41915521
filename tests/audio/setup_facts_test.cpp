// What the set-up checks make of what a server says about the path.
#include "audio/setup_facts.h"

#include <gtest/gtest.h>

using namespace qelvar::audio;

namespace {

DeviceFacts device(std::string name, std::string description, std::string deviceClass = "") {
    DeviceFacts d;
    d.name = std::move(name);
    d.description = std::move(description);
    d.deviceClass = std::move(deviceClass);
    d.volume = {1.0, 1.0};
    return d;
}

// Every note, "!" before a finding, one a line.
std::string said(const PathFacts& p) {
    std::string out;
    for (const SetupNote& n : judgeSetup(p))
        out += (n.finding ? "!" : "") + n.text + "\n";
    return out;
}

} // namespace

TEST(SetupFacts, VolumesFiltersAndMonitorsInWordsAUserCanActOn) {
    const DeviceFacts loop = device("loop", "Null Output", "abstract");
    DeviceFacts monitor = device("loop.monitor", "Monitor of Null Output", "monitor");
    monitor.monitorOf = "loop";
    const std::string onMonitor = "the input \"Monitor of Null Output\" (loop.monitor) is the "
                                  "monitor of the output, so this measures the sound server's "
                                  "own path, not a card's converters\n";

    // The private loopback itself: no finding, only the monitor's note.
    EXPECT_EQ(said({{loop}, {monitor}}), onMonitor);

    // The server's cubic scale: 60 % is -13.3 dB; 0.004 dB is 0 dB, and
    // 0.03 dB is not.
    PathFacts quiet{{loop}, {monitor}};
    quiet.outputs[0].volume = {0.6, 0.6};
    quiet.inputs[0].volume = {1.0 + 10.0 / 65536, 1.5};
    EXPECT_EQ(said(quiet), "!the output \"Null Output\" (loop) is at 60 % (-13.3 dB), and every "
                           "figure includes it; set it to 100 % (0 dB)\n"
                           "!the input \"Monitor of Null Output\" (loop.monitor) is at 100 % "
                           "(0.00 dB) on the left and 150 % (10.6 dB) on the right, and every "
                           "figure includes it; set it to 100 % (0 dB)\n" +
                               onMonitor);
    PathFacts nearly{{loop}, {monitor}};
    nearly.outputs[0].volume = {0.999, 0.999};
    EXPECT_EQ(said(nearly), "!the output \"Null Output\" (loop) is at 100 % (-0.03 dB), and "
                            "every figure includes it; set it to 100 % (0 dB)\n" +
                                onMonitor);
    PathFacts muted{{loop}, {monitor}};
    muted.outputs[0].muted = true;
    EXPECT_EQ(said(muted), "!the output \"Null Output\" (loop) is muted: nothing played comes "
                           "back; unmute it\n" +
                               onMonitor);

    // A LADSPA sink before the null sink: named with what it feeds; its
    // master's monitor is still the output's.
    DeviceFacts ladspa = device("dut", "LADSPA Plugin Inverter on Null Output", "filter");
    ladspa.driver = "module-ladspa-sink.c";
    ladspa.master = "loop";
    EXPECT_EQ(said({{ladspa, loop}, {monitor}}),
              "!the output \"LADSPA Plugin Inverter on Null Output\" (dut) is a LADSPA effects "
              "sink between the program and \"Null Output\", and every figure includes what it "
              "does; choose the card's own output\n" +
                  onMonitor);

    // The master at 60 %, which PulseAudio shows on the filter sink too:
    // named once.
    PathFacts sharedVolume{{ladspa, loop}, {monitor}};
    sharedVolume.outputs[0].volume = sharedVolume.outputs[1].volume = {0.6, 0.6};
    const std::string s = said(sharedVolume);
    EXPECT_EQ(s.find("(dut) is at"), std::string::npos) << s;
    EXPECT_NE(s.find("(loop) is at 60 %"), std::string::npos) << s;

    // PipeWire's filter-chain: no class, no master, one of a link group;
    // a card behind it (device.api), a card's own input.
    DeviceFacts chain = device("effect_input.eq", "Equaliser Sink");
    chain.driver = "PipeWire";
    chain.linkGroup = "filter-chain-1-12";
    DeviceFacts mic = device("alsa_input.usb", "USB Audio Analog Stereo", "sound");
    mic.hardware = true;
    EXPECT_EQ(said({{chain}, {mic}}),
              "!the output \"Equaliser Sink\" (effect_input.eq) is a filter-chain sink between "
              "the program and the card, and every figure includes what it does; choose the "
              "card's own output\n");

    // A card's output and input: nothing to say.
    DeviceFacts card = device("alsa_output.usb", "USB Audio Analog Stereo", "sound");
    card.hardware = true;
    EXPECT_EQ(said({{card}, {mic}}), "");

    // The monitor of a sink the program does not play to: nothing comes back.
    DeviceFacts other = device("other.monitor", "Monitor of Other", "monitor");
    other.monitorOf = "other";
    EXPECT_EQ(said({{card}, {other}}),
              "!the input \"Monitor of Other\" (other.monitor) is the monitor of \"other\", which "
              "the program does not play to, so nothing played comes back; choose the input the "
              "output is wired to\n");

    // A null sink with a card's input: a note that no card plays.
    EXPECT_EQ(said({{loop}, {mic}}), "the output \"Null Output\" (loop) is a null sink with no "
                                     "card behind it, so nothing played reaches a card\n");
}

// What the sound server says about the devices in the path, and what of it
// a user must know before trusting the figures. Judging is plain data in,
// sentences out, so every case is tested without a server.
#pragma once

#include "audio/sound.h"

#include <string>
#include <vector>

namespace qelvar::audio {

struct DeviceFacts {
    std::string name;        // "alsa_output.pci-0000_00_1f.3.analog-stereo"
    std::string description; // "Built-in Audio Analog Stereo"
    std::string driver;      // "module-ladspa-sink.c"; PipeWire: "PipeWire"
    std::string module;      // the module that made it: "module-ladspa-sink" ("" when none)
    std::string deviceClass; // device.class: "sound", "filter", "abstract", "monitor"
    std::string master;      // device.master_device: the device a filter feeds or reads
    std::string monitorOf;   // a source: the sink it monitors ("" when none)
    // PipeWire: the filter-chain, loopback or echo-cancel it is one end of.
    std::string linkGroup;
    bool hardware = false; // the server drives a card (or says it is one)
    bool muted = false;
    // Per channel, 1.0 = 100 % = 0 dB; the server's cubic scale, so 60 %
    // is -13.3 dB.
    std::vector<double> volume;
};

// The path as the program uses it: the output and what it feeds, in order
// (a filter sink first, its master after it), and the input and what it
// reads from.
struct PathFacts {
    std::vector<DeviceFacts> outputs;
    std::vector<DeviceFacts> inputs;
};

// Findings and notes, findings first, each once.
std::vector<SetupNote> judgeSetup(const PathFacts& path);

// "60 % (-13.3 dB)"; "0 % (-inf dB)" for nothing.
std::string volumeText(double volume);

} // namespace qelvar::audio

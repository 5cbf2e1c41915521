#include "audio/setup_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qelvar::audio {
namespace {

// A volume within this of 0 dB changes no figure that is shown.
constexpr double kUnityDb = 0.01;

bool atUnity(double v) {
    return v > 0 && std::abs(60 * std::log10(v)) < kUnityDb;
}

std::string quoted(const DeviceFacts& d) {
    if (d.description.empty() || d.description == d.name)
        return "\"" + d.name + "\"";
    return "\"" + d.description + "\" (" + d.name + ")";
}

std::string describe(const std::vector<DeviceFacts>& chain, const std::string& name) {
    for (const DeviceFacts& d : chain)
        if (d.name == name && !d.description.empty())
            return "\"" + d.description + "\"";
    return "\"" + name + "\"";
}

bool isFilter(const DeviceFacts& d) {
    return d.deviceClass == "filter" || !d.linkGroup.empty() || !d.master.empty();
}

// What kind of filter a device is, by the module that made it.
std::string filterKind(const DeviceFacts& d, const char* way) {
    const std::string m = d.driver + " " + d.module;
    auto has = [&m](const char* part) { return m.find(part) != std::string::npos; };
    const std::string sinkOrSource = way;
    if (has("ladspa"))
        return "a LADSPA effects " + sinkOrSource;
    if (has("equalizer"))
        return "an equaliser";
    if (has("echo-cancel"))
        return "echo cancellation";
    if (has("remap"))
        return "a channel-remapping " + sinkOrSource;
    if (!d.linkGroup.empty())
        return "a filter-chain " + sinkOrSource;
    return "a filter or effects " + sinkOrSource;
}

std::string volumesText(const std::vector<double>& v) {
    const bool even = std::all_of(v.begin(), v.end(), [&](double x) { return x == v.front(); });
    if (even || v.size() != 2) {
        const double least = *std::min_element(v.begin(), v.end());
        return volumeText(even ? v.front() : least) + (even ? "" : " on its quietest channel");
    }
    return volumeText(v[0]) + " on the left and " + volumeText(v[1]) + " on the right";
}

void judgeDevice(const DeviceFacts& d, const std::vector<DeviceFacts>& chain, std::size_t at,
                 const char* way, std::vector<SetupNote>& out) {
    const std::string w = way;
    // A filter sink shows its master's volume as its own (PulseAudio shares
    // it): that one volume is named once, at the master.
    const bool shared =
        at + 1 < chain.size() && chain[at + 1].name == d.master && chain[at + 1].volume == d.volume;
    if (d.muted)
        out.push_back({true, "the " + w + " " + quoted(d) +
                                 " is muted: nothing played comes back; unmute it"});
    else if (!shared && !d.volume.empty() &&
             !std::all_of(d.volume.begin(), d.volume.end(), atUnity))
        out.push_back({true, "the " + w + " " + quoted(d) + " is at " + volumesText(d.volume) +
                                 ", and every figure includes it; set it to 100 % (0 dB)"});
    if (isFilter(d)) {
        const std::string beyond = !d.master.empty()       ? describe(chain, d.master)
                                   : at + 1 < chain.size() ? quoted(chain[at + 1])
                                                           : std::string("the card");
        out.push_back({true, "the " + w + " " + quoted(d) + " is " +
                                 filterKind(d, w == "output" ? "sink" : "source") +
                                 " between the program and " + beyond +
                                 ", and every figure includes what it does; choose the card's "
                                 "own " +
                                 w});
    }
}

} // namespace

std::string volumeText(double volume) {
    char b[64];
    const double db = volume > 0 ? 60 * std::log10(volume) : -INFINITY;
    if (std::isinf(db))
        std::snprintf(b, sizeof b, "0 %% (-inf dB)");
    else
        std::snprintf(b, sizeof b, std::abs(db) < 0.1 ? "%.0f %% (%.2f dB)" : "%.0f %% (%.1f dB)",
                      volume * 100, db == 0 ? 0.0 : db);
    return b;
}

std::vector<SetupNote> judgeSetup(const PathFacts& path) {
    std::vector<SetupNote> out;
    for (std::size_t i = 0; i < path.outputs.size(); ++i)
        judgeDevice(path.outputs[i], path.outputs, i, "output", out);
    for (std::size_t i = 0; i < path.inputs.size(); ++i)
        judgeDevice(path.inputs[i], path.inputs, i, "input", out);

    const DeviceFacts* monitor = nullptr;
    for (const DeviceFacts& d : path.inputs)
        if (!d.monitorOf.empty())
            monitor = &d;
    if (monitor) {
        const bool ours =
            std::any_of(path.outputs.begin(), path.outputs.end(),
                        [&](const DeviceFacts& o) { return o.name == monitor->monitorOf; });
        if (ours)
            out.push_back({false, "the input " + quoted(*monitor) +
                                      " is the monitor of the output, so this measures the "
                                      "sound server's own path, not a card's converters"});
        else
            out.push_back({true, "the input " + quoted(*monitor) + " is the monitor of " +
                                     describe(path.outputs, monitor->monitorOf) +
                                     ", which the program does not play to, so nothing played "
                                     "comes back; choose the input the output is wired to"});
    } else if (!path.outputs.empty() && !path.outputs.back().hardware &&
               !isFilter(path.outputs.back())) {
        out.push_back({false, "the output " + quoted(path.outputs.back()) +
                                  " is a null sink with no card behind it, so nothing played "
                                  "reaches a card"});
    }
    std::stable_partition(out.begin(), out.end(), [](const SetupNote& n) { return n.finding; });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace qelvar::audio

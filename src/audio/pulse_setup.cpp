// The set-up as the sound server sees it: the devices the program would
// use (as the path chooses them) and every filter device behind them.
#include "audio/pulse_client.h"
#include "audio/pulse_sound.h"

namespace qelvar::audio {
namespace {

// A filter's master may be a filter too; a loop in what the server says
// (it can't be, but a broken server must not hang us) ends the walk.
constexpr int kMostLinks = 8;

// PulseAudio names a filter's master; PipeWire links the filter's two
// ends by a group, the far end a stream to (or from) the next device.
template <class Query>
std::vector<DeviceFacts> chain(PulseClient& c, const std::string& first, bool playback,
                               Query query) {
    std::vector<DeviceFacts> out;
    std::string next = first;
    while (!next.empty() && out.size() < kMostLinks) {
        std::optional<DeviceFacts> d = query(next);
        if (!d)
            break;
        next = d->master;
        if (next.empty() && !d->linkGroup.empty()) {
            next = c.linkedDevice(d->linkGroup, playback);
            d->master = next;
        }
        out.push_back(std::move(*d));
    }
    return out;
}

} // namespace

std::optional<std::vector<SetupNote>> checkPulseSetup(const SoundOptions& o,
                                                      std::chrono::milliseconds timeout) {
    PulseClient c;
    if (!c.connect(timeout))
        return std::nullopt;
    const PulseServer server = c.server();
    const auto sinks = c.sinks();
    const auto sources = c.sources();
    const DeviceInfo* out = matchDevice(sinks, o.outputDevice, Use::Output, server.defaultSink);
    const DeviceInfo* in = matchDevice(sources, o.inputDevice, Use::Input, server.defaultSource);
    PathFacts path;
    if (out)
        path.outputs =
            chain(c, out->name, true, [&c](const std::string& n) { return c.sinkFacts(n); });
    if (in)
        path.inputs =
            chain(c, in->name, false, [&c](const std::string& n) { return c.sourceFacts(n); });
    return judgeSetup(path);
}

std::vector<SetupNote> PulseSound::setupNotes() const {
    return checkPulseSetup(options_, kSetupPatience).value_or(std::vector<SetupNote>{});
}

std::vector<SetupNote> SystemSound::setupNotes() const {
    return checkPulseSetup(options_, kSetupPatience).value_or(std::vector<SetupNote>{});
}

} // namespace qelvar::audio

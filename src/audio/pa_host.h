// PortAudio set-up shared by the stream and the device list.
#pragma once

#include "audio/devices.h"

#include <portaudio.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qelvar::audio {

// Silences the ALSA and JACK probe messages Pa_Initialize would print,
// then initialises PortAudio.
//
// While PortAudio lists devices, ALSA's jack device opens a JACK client,
// and JACK's client library takes a lock in the database it keeps in
// shared memory (/dev/shm/jack_db-UID). A process that ends holding that
// lock leaves it held for good: every JACK client on the machine, this
// program's next start among them, then hangs at open. So while no JACK
// server runs, a JACK client fails at once without touching the database
// (this library's jack_client_open), and the program's end waits for a
// probe under way (waitForDeviceProbes).
PaError initialiseQuietly();

// True while a JACK server may run for this user: a JACK 2 socket
// (jack_SERVER_UID_0, jack_SERVER_0) or a JACK 1 folder (jack-UID, jack) in
// `shm`. JACK's database folder (jack_db-UID), which any client leaves
// behind, does not count.
bool jackServerRuns(const std::filesystem::path& shm = "/dev/shm");

// Marks a device probe under way for as long as it lives.
class DeviceProbe {
  public:
    DeviceProbe();
    ~DeviceProbe();
    DeviceProbe(const DeviceProbe&) = delete;
    DeviceProbe& operator=(const DeviceProbe&) = delete;
};

// Waits until no probe is under way, at most `limit` (a probe already hung
// on a lock left by another process never ends). False if one still is.
bool waitForDeviceProbes(std::chrono::milliseconds limit);

// PortAudio's devices, each at its own index (once initialised); one that
// cannot be listed has no channels, so it is never chosen.
std::vector<DeviceInfo> hostDevices();

// The device matchDevice chooses for `want` one way; with `want` empty the
// default device. paNoDevice when there is none.
PaDeviceIndex pickDevice(const std::string& want, Use way);

} // namespace qelvar::audio

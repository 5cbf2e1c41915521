// PortAudio set-up shared by the stream and the device list.
#pragma once

#include "audio/devices.h"

#include <portaudio.h>

#include <string>
#include <vector>

namespace qelvar::audio {

// Silences the ALSA and JACK probe messages Pa_Initialize would print,
// then initialises PortAudio.
PaError initialiseQuietly();

// PortAudio's devices, each at its own index (once initialised); one that
// cannot be listed has no channels, so it is never chosen.
std::vector<DeviceInfo> hostDevices();

// The device matchDevice chooses for `want` one way; with `want` empty the
// default device. paNoDevice when there is none.
PaDeviceIndex pickDevice(const std::string& want, Use way);

} // namespace qelvar::audio

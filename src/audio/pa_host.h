// PortAudio set-up shared by the stream and the device list.
#pragma once

#include <portaudio.h>

#include <string>

namespace qelvar::audio {

// Silences the ALSA and JACK probe messages Pa_Initialize would print,
// then initialises PortAudio.
PaError initialiseQuietly();

// The device whose name holds `want` (case ignored) and has channels in
// the given direction; the default device when `want` is empty.
PaDeviceIndex pickDevice(const std::string& want, bool input);

} // namespace qelvar::audio

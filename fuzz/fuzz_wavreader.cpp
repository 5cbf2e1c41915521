// A sound file given to the player: read at the stream's rate (resampled
// when the file's rate differs), then fitted to a second rate as a looped
// sound is when the device runs at 48 kHz.
#include "audio/wav_reader.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>

using namespace qelvar::audio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = qelvar::fuzz::writeScratch("sound.wav", data, size);
    auto clip = readClip(path, 44100);
    if (clip && clip->frames() <= 1u << 16)
        (void)resampleLoop(*clip, 44100, 48000);
    return 0;
}

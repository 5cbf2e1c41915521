// The recorder's spool and the capture file it saves: stereo PCM at 44100
// frames a second behind a 44-byte RIFF WAVE header, the layout the level
// reader expects (frames from file offset 44 on). A take is saved at the
// depth of the sound it records: 16 bits for the program's step files,
// exactly as they always were, 24 bits (block align 6) for a 24-bit sound
// such as the sound-card test's signal.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qelvar::audio {

// The 44-byte header of a capture of `bits` (16 or 24) bits holding
// `dataBytes` bytes of frames.
std::array<std::uint8_t, 44> captureHeader(std::uint32_t dataBytes, int bits = 16);

// The loudest sample of a stretch of packed 32-bit frames, and how many
// samples sat at full scale, both in 16-bit steps whatever the depth: a
// sample within half a 16-bit step of either end counts as full scale.
struct PeakStats {
    int peak = 0;
    std::int64_t fullScale = 0;
    void add(std::uint64_t frame);
};

// Frames recorded so far, kept in an anonymous temporary file so that a
// recording of many minutes costs no memory.
class CaptureSpool {
  public:
    CaptureSpool() = default;
    ~CaptureSpool();
    CaptureSpool(const CaptureSpool&) = delete;
    CaptureSpool& operator=(const CaptureSpool&) = delete;

    // Forgets every frame. False when the temporary file can't be made.
    bool reset();
    // Appends packed 32-bit stereo frames (FrameRing::pack).
    bool append(const std::uint64_t* frames, std::size_t count);
    std::int64_t frames() const { return frames_; }
    bool failed() const { return failed_; }

    // Writes `frames` frames from the `skip`th on to `path` as a capture file
    // of `bits` bits, each sample rounded to that depth: a temporary file
    // beside it, renamed over it, so an existing capture is either replaced
    // whole or left as it was.
    // `stats`, when given, receives the peaks of the frames written.
    bool save(const std::string& path, std::int64_t skip, std::int64_t frames, int bits,
              PeakStats* stats = nullptr);
    bool save(const std::string& path, std::int64_t frames) { return save(path, 0, frames, 16); }

  private:
    std::FILE* file_ = nullptr;
    std::int64_t frames_ = 0;
    bool failed_ = false;
};

} // namespace qelvar::audio

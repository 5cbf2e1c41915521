#include "audio/capture_file.h"

#include "audio/frame_ring.h"
#include "audio/wav_reader.h"
#include "common/files.h"
#include "formats/wav.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unistd.h>

namespace qelvar::audio {
namespace {

// The spool holds each frame as it came: 8 bytes, little-endian.
constexpr std::size_t kSpoolFrame = 8;

void putLE(std::uint8_t* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Copies `frames` frames of the spool from frame `from` on into `out` as
// samples of `bits` bits.
bool copySpool(std::FILE* in, int out, std::int64_t from, std::int64_t frames, int bits,
               PeakStats* stats) {
    constexpr std::size_t kBlock = 4096;
    std::vector<std::uint8_t> buf(kBlock * kSpoolFrame), wav(kBlock * 6);
    const int bytes = bits / 8;
    if (fseeko(in, static_cast<off_t>(from * 8), SEEK_SET) != 0)
        return false;
    while (frames > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(frames, kBlock));
        if (std::fread(buf.data(), kSpoolFrame, n, in) != n)
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t f = 0;
            for (std::size_t k = 0; k < kSpoolFrame; ++k)
                f |= std::uint64_t{buf[i * kSpoolFrame + k]} << (8 * k);
            if (stats)
                stats->add(f);
            const auto ch = static_cast<std::size_t>(2 * bytes);
            putLE(&wav[i * ch], static_cast<std::uint32_t>(toBits(FrameRing::left(f), bits)),
                  bytes);
            putLE(&wav[i * ch + static_cast<std::size_t>(bytes)],
                  static_cast<std::uint32_t>(toBits(FrameRing::right(f), bits)), bytes);
        }
        if (!writeFully(out, wav.data(), n * static_cast<std::size_t>(2 * bytes)))
            return false;
        frames -= static_cast<std::int64_t>(n);
    }
    return std::fseek(in, 0, SEEK_END) == 0;
}

} // namespace

std::array<std::uint8_t, 44> captureHeader(std::uint32_t dataBytes, int bits) {
    const int align = 2 * bits / 8;
    wav::FileImage image(44);
    image.putConstantHeader();
    image.setFormat(2, 44100, bits);
    image.setDataLength(dataBytes);
    image.setRiffLength(dataBytes);
    image.setByteRate(44100u * static_cast<std::uint32_t>(align));
    image.setBlockAlign(align);
    std::array<std::uint8_t, 44> h{};
    const auto bytes = image.fileBytes(44);
    std::copy(bytes.begin(), bytes.end(), h.begin());
    return h;
}

CaptureSpool::~CaptureSpool() {
    if (file_)
        std::fclose(file_);
}

bool CaptureSpool::reset() {
    frames_ = 0;
    failed_ = false;
    if (file_) {
        std::fflush(file_);
        if (ftruncate(fileno(file_), 0) == 0 && std::fseek(file_, 0, SEEK_SET) == 0)
            return true;
        std::fclose(file_);
    }
    file_ = std::tmpfile();
    failed_ = !file_;
    return file_ != nullptr;
}

bool CaptureSpool::append(const std::uint64_t* frames, std::size_t count) {
    if (!file_ || failed_)
        return false;
    std::uint8_t buf[4096 * kSpoolFrame];
    while (count > 0) {
        const std::size_t n = std::min<std::size_t>(count, 4096);
        for (std::size_t i = 0; i < n; ++i)
            putLE(&buf[i * kSpoolFrame], frames[i], kSpoolFrame);
        if (std::fwrite(buf, kSpoolFrame, n, file_) != n) {
            failed_ = true;
            return false;
        }
        frames_ += static_cast<std::int64_t>(n);
        frames += n;
        count -= n;
    }
    return true;
}

void PeakStats::add(std::uint64_t frame) {
    for (const std::int32_t v :
         {toBits(FrameRing::left(frame), 16), toBits(FrameRing::right(frame), 16)}) {
        const int a = v < 0 ? -v : v;
        peak = std::max(peak, a);
        if (v == 32767 || v == -32768)
            ++fullScale;
    }
}

bool CaptureSpool::save(const std::string& path, std::int64_t skip, std::int64_t frames, int bits,
                        PeakStats* stats) {
    bits = bits == 24 ? 24 : 16;
    const std::int64_t align = 2 * bits / 8;
    if (!file_ || failed_ || std::fflush(file_) != 0)
        return false;
    skip = std::clamp<std::int64_t>(skip, 0, frames_);
    // A WAV data chunk can't say more than 4 GiB.
    frames = std::clamp<std::int64_t>(frames, 0,
                                      std::min<std::int64_t>(frames_ - skip, 0xFFFFFFC0 / align));
    // Replaced whole, as every file of the program is: a reader never sees
    // half a take, and a save cut short leaves a temporary that the next
    // start clears.
    return replaceFileBy(path, [&](int fd) {
        const auto h = captureHeader(static_cast<std::uint32_t>(frames * align), bits);
        return writeFully(fd, h.data(), h.size()) &&
               copySpool(file_, fd, skip, frames, bits, stats);
    });
}

} // namespace qelvar::audio

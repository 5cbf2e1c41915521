#include "audio/capture_file.h"

#include "common/files.h"
#include "formats/wav.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unistd.h>

namespace qelvar::audio {
namespace {

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Copies `bytes` bytes of the spool from byte `from` on into `out`.
bool copySpool(std::FILE* in, int out, std::int64_t from, std::int64_t bytes, PeakStats* stats) {
    std::vector<char> buf(1 << 16);
    if (fseeko(in, static_cast<off_t>(from), SEEK_SET) != 0)
        return false;
    while (bytes > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(bytes, 1 << 16));
        if (std::fread(buf.data(), 1, want, in) != want || !writeFully(out, buf.data(), want))
            return false;
        if (stats)
            for (std::size_t i = 0; i + 3 < want; i += 4) {
                const auto* b = reinterpret_cast<const unsigned char*>(buf.data() + i);
                stats->add(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24);
            }
        bytes -= static_cast<std::int64_t>(want);
    }
    return std::fseek(in, 0, SEEK_END) == 0;
}

} // namespace

std::array<std::uint8_t, 44> captureHeader(std::uint32_t dataBytes) {
    wav::FileImage image(44);
    image.putConstantHeader();
    image.setFormat(2, 44100, 16);
    image.setDataLength(dataBytes);
    image.setRiffLength(dataBytes);
    image.setByteRate(176400);
    image.setBlockAlign(4);
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

bool CaptureSpool::append(const std::uint32_t* frames, std::size_t count) {
    if (!file_ || failed_)
        return false;
    std::uint8_t buf[4096 * 4];
    while (count > 0) {
        const std::size_t n = std::min<std::size_t>(count, 4096);
        for (std::size_t i = 0; i < n; ++i)
            put32(&buf[i * 4], frames[i]);
        if (std::fwrite(buf, 4, n, file_) != n) {
            failed_ = true;
            return false;
        }
        frames_ += static_cast<std::int64_t>(n);
        frames += n;
        count -= n;
    }
    return true;
}

void PeakStats::add(std::uint32_t frame) {
    for (const std::int16_t v :
         {static_cast<std::int16_t>(frame & 0xFFFF), static_cast<std::int16_t>(frame >> 16)}) {
        const int a = v < 0 ? -int{v} : int{v};
        peak = std::max(peak, a);
        if (v == 32767 || v == -32768)
            ++fullScale;
    }
}

bool CaptureSpool::save(const std::string& path, std::int64_t skip, std::int64_t frames,
                        PeakStats* stats) {
    if (!file_ || failed_ || std::fflush(file_) != 0)
        return false;
    skip = std::clamp<std::int64_t>(skip, 0, frames_);
    // A WAV data chunk can't say more than 4 GiB.
    frames =
        std::clamp<std::int64_t>(frames, 0, std::min<std::int64_t>(frames_ - skip, 0x3FFFFFF0));
    // Replaced whole, as every file of the program is: a reader never sees
    // half a take, and a save cut short leaves a temporary that the next
    // start clears.
    return replaceFileBy(path, [&](int fd) {
        const auto h = captureHeader(static_cast<std::uint32_t>(frames * 4));
        return writeFully(fd, h.data(), h.size()) &&
               copySpool(file_, fd, skip * 4, frames * 4, stats);
    });
}

} // namespace qelvar::audio

#include "construct/measure/measure.h"

#include "common/files.h"
#include "common/numbers.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qelvar::construct {

namespace {

// Frames are read from this file offset on: a 44-byte header is assumed and
// the first frame after it is passed over.
constexpr std::int64_t kFirstFrame = 48;
constexpr std::size_t kBlockBytes = 64 * 1024; // a whole number of frames
constexpr double kFullScale = 32640.0;         // 128 × 255
constexpr double kLn10 = 2.302585;             // the reading's own ln 10

struct Sums {
    std::uint64_t left = 0;
    std::uint64_t right = 0;
};

// Magnitude of one 16-bit sample from its bytes: hi × 255 + lo, folded so
// that the codes of negative samples count down from 65280.
inline std::uint32_t magnitude(unsigned char lo, unsigned char hi) {
    std::uint32_t m = hi * 255u + lo;
    return m > 32640u ? 65280u - m : m;
}

// Reads up to `want` bytes at `offset`; fewer only at the end of the file
// or on an error.
std::size_t readAt(int fd, unsigned char* buf, std::size_t want, std::int64_t offset) {
    std::size_t got = 0;
    while (got < want) {
        ssize_t r = ::pread(fd, buf + got, want - got, static_cast<off_t>(offset) + got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

// Sums the magnitudes of `frames` frames from kFirstFrame on, block by
// block. Bytes missing from the file (it shrank since it was measured)
// count as zero samples.
Sums sumFrames(int fd, std::int64_t frames) {
    Sums s;
    std::vector<unsigned char> buf(kBlockBytes);
    std::int64_t offset = kFirstFrame;
    std::int64_t left = frames;
    bool eof = false;
    while (left > 0 && !eof) {
        std::int64_t n = std::min<std::int64_t>(left, kBlockBytes / 4);
        std::size_t want = static_cast<std::size_t>(n) * 4;
        std::size_t got = readAt(fd, buf.data(), want, offset);
        eof = got < want;
        std::fill(buf.begin() + static_cast<std::ptrdiff_t>(got),
                  buf.begin() + static_cast<std::ptrdiff_t>(want), 0);
        for (std::size_t i = 0; i < want; i += 4) {
            s.left += magnitude(buf[i], buf[i + 1]);
            s.right += magnitude(buf[i + 2], buf[i + 3]);
        }
        offset += n * 4;
        left -= n;
    }
    return s;
}

// Length of the file, opening (and creating) it as the recorder's reader
// does; 0 for anything that is not a regular file.
struct Capture {
    int fd = -1;
    std::int64_t length = 0;
};

Capture openCapture(const std::string& path) {
    Capture c;
    c.fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (c.fd < 0)
        c.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (c.fd >= 0 && ::fstat(c.fd, &st) == 0 && S_ISREG(st.st_mode))
        c.length = st.st_size;
    return c;
}

// Frames that are summed: F = floor((n − 53) ÷ 4), none when below 1. An
// empty file counts as 4 bytes, which gives none as well.
std::int64_t frameCount(std::int64_t n) {
    return n >= 57 ? (n - 53) / 4 : 0;
}

double levelOf(std::uint64_t sum, std::int64_t frames) {
    if (frames < 1)
        return 0.0;
    double mean = static_cast<double>(sum) / static_cast<double>(frames);
    if (!(mean > 0.0))
        return 0.0;
    return 20.0 * std::log(mean / kFullScale) / kLn10 + 5.0;
}

// The offset box's value is single precision; an offset or calibration
// entry that is not a finite number adds nothing.
double offsetOf(double offsetDb) {
    if (!std::isfinite(offsetDb) || std::fabs(offsetDb) > FLT_MAX)
        return 0.0;
    return static_cast<double>(static_cast<float>(offsetDb));
}

double finiteOr0(double x) {
    return std::isfinite(x) ? x : 0.0;
}

double finish(double level, const MeasureSettings& s, const CalArray& cal, int step) {
    if (s.offsetOn)
        level += offsetOf(s.offsetDb);
    if (s.calOn && step >= 0 && step < kCalEntries)
        level += finiteOr0(cal[static_cast<std::size_t>(step)]);
    if (!std::isfinite(level) || (level > -0.1 && level < 0.1))
        return 0.0;
    return level;
}

} // namespace

Reading peakread(const std::string& capturePath, int step, const MeasureSettings& settings) {
    Capture c = openCapture(capturePath);
    std::int64_t frames = frameCount(c.length);
    Sums sums;
    if (c.fd >= 0) {
        if (frames > 0)
            sums = sumFrames(c.fd, frames);
        ::close(c.fd);
    }
    Reading r;
    r.left = finish(levelOf(sums.left, frames), settings, settings.calL, step);
    r.right = finish(levelOf(sums.right, frames), settings, settings.calR, step);
    return r;
}

std::string readingText(double level) {
    return strForm(level).substr(0, 6);
}

double boxValue(std::string_view text) {
    return finiteOr0(leadingNumber(text));
}

} // namespace qelvar::construct

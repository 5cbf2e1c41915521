#include "support/card_truth.h"

#include "construct/measure/capture_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qelvar::test::card {

namespace {

std::uint32_t le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t{b[at + static_cast<std::size_t>(i)]} << (8 * i);
    return v;
}

std::int32_t fromFloat(double f) {
    const double v = std::nearbyint(f * 2147483648.0);
    return static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

Sound failed(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return {};
}

// One sample of `bytes` bytes at `p`, as 32-bit full scale.
std::int32_t sampleAt(const unsigned char* p, int bytes, bool isFloat) {
    if (isFloat && bytes == 4) {
        float f;
        std::uint32_t u = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
        std::memcpy(&f, &u, 4);
        return fromFloat(f);
    }
    if (isFloat) {
        double d;
        std::uint64_t u = 0;
        for (int i = 0; i < 8; ++i)
            u |= std::uint64_t{p[i]} << (8 * i);
        std::memcpy(&d, &u, 8);
        return fromFloat(d);
    }
    if (bytes == 1) // 8-bit WAV samples are unsigned
        return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) - 128u) << 24);
    std::uint32_t u = 0;
    for (int i = 0; i < bytes; ++i)
        u |= std::uint32_t{p[i]} << (8 * (4 - bytes + i));
    return static_cast<std::int32_t>(u);
}

} // namespace

Sound readWav(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return failed(error, "cannot open " + path);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return failed(error, path + " is not a WAV file");
    int tag = 0, channels = 0, rate = 0, bits = 0;
    std::size_t data = 0, dataBytes = 0;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t size = le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16 && body + 16 <= b.size()) {
            tag = static_cast<int>(le(b, body, 2));
            channels = static_cast<int>(le(b, body + 2, 2));
            rate = static_cast<int>(le(b, body + 4, 4));
            bits = static_cast<int>(le(b, body + 14, 2));
            if (tag == 0xFFFE && size >= 26 && body + 26 <= b.size())
                tag = static_cast<int>(le(b, body + 24, 2)); // the subformat's first field
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            data = body;
            // A recorder stopped mid-write leaves a size of 0 or too much.
            dataBytes = std::min<std::size_t>(size == 0 ? b.size() : size, b.size() - body);
            break;
        }
        at = body + size + (size & 1);
    }
    const bool isFloat = tag == 3;
    if ((tag != 1 && tag != 3) || channels < 1 || data == 0 ||
        (isFloat ? bits != 32 && bits != 64 : bits < 8 || bits > 32 || bits % 8 != 0))
        return failed(error, path + ": not a PCM or float WAV file this reader knows");
    Sound s;
    s.rate = rate;
    s.channels = channels;
    const int bytes = bits / 8;
    const std::size_t n =
        dataBytes / static_cast<std::size_t>(bytes * channels) * static_cast<std::size_t>(channels);
    s.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        s.samples[i] = sampleAt(&b[data + i * static_cast<std::size_t>(bytes)], bytes, isFloat);
    return s;
}

std::int16_t to16(std::int32_t v) {
    const std::int64_t r = (std::int64_t{v} + 0x8000) >> 16;
    return static_cast<std::int16_t>(std::min<std::int64_t>(r, 32767));
}

std::int64_t findLoop(const Sound& played, const Sound& step, std::int64_t from) {
    const std::int64_t n = step.frames();
    if (n == 0 || played.channels != step.channels)
        return -1;
    const int ch = step.channels;
    std::vector<std::int16_t> want(step.samples.size());
    std::transform(step.samples.begin(), step.samples.end(), want.begin(), to16);
    for (std::int64_t at = std::max<std::int64_t>(from, 0); at + n <= played.frames(); ++at) {
        const std::int32_t* p = &played.samples[static_cast<std::size_t>(at * ch)];
        std::size_t i = 0;
        while (i < want.size() && to16(p[i]) == want[i])
            ++i;
        if (i == want.size())
            return at;
    }
    return -1;
}

std::vector<std::int64_t> findSteps(const Sound& played, const std::vector<Sound>& steps) {
    std::vector<std::int64_t> at(steps.size(), -1);
    std::int64_t from = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        at[i] = findLoop(played, steps[i], from);
        if (at[i] < 0)
            break;
        from = at[i] + 1;
    }
    return at;
}

std::vector<unsigned char> captureImage(const Sound& filtered, std::int64_t first,
                                        std::int64_t frames) {
    std::vector<unsigned char> b(44, 0);
    b.reserve(44 + 4 * static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)));
    const int right = filtered.channels > 1 ? 1 : 0;
    for (std::int64_t f = first; f < first + frames; ++f)
        for (int c : {0, right}) {
            const auto u = static_cast<std::uint16_t>(to16(filtered.at(f, c)));
            b.push_back(static_cast<unsigned char>(u & 0xFF));
            b.push_back(static_cast<unsigned char>(u >> 8));
        }
    return b;
}

std::optional<std::int64_t> captureShift(const Sound& filtered, std::int64_t first,
                                         const Sound& capture, std::int64_t span) {
    if (capture.channels != filtered.channels || capture.frames() == 0)
        return std::nullopt;
    // Nearest first, so a periodic signal's other matches come second.
    for (std::int64_t k = 0; k <= 2 * span; ++k) {
        const std::int64_t d = k % 2 ? (k + 1) / 2 : -k / 2;
        bool same = true;
        for (std::int64_t f = 0; same && f < capture.frames(); ++f)
            for (int c = 0; same && c < capture.channels; ++c)
                same = to16(capture.at(f, c)) == to16(filtered.at(first + d + f, c));
        if (same)
            return d;
    }
    return std::nullopt;
}

std::pair<double, double> truthLevels(const Sound& filtered, std::int64_t first,
                                      std::int64_t frames) {
    return captest::referenceLevels(captureImage(filtered, first, frames));
}

namespace {

// The first frame well above the file's floor (which may be noise).
std::int64_t onset(const Sound& s) {
    int peak = 0;
    for (std::int64_t f = 0; f < s.frames(); ++f)
        peak = std::max(peak, std::abs(int{to16(s.at(f, 0))}));
    const int above = std::max(64, peak / 16);
    for (std::int64_t f = 0; f < s.frames(); ++f)
        if (std::abs(int{to16(s.at(f, 0))}) > above)
            return f;
    return -1;
}

// Normalised correlation of the left channels over [from, from + n) of `a`.
double correlation(const Sound& a, const Sound& b, std::int64_t from, std::int64_t n,
                   std::int64_t lag) {
    double ab = 0, aa = 0, bb = 0;
    for (std::int64_t f = from; f < from + n; ++f) {
        const double x = a.at(f, 0), y = b.at(f + lag, 0);
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

} // namespace

Agreement compare(const Sound& expected, const Sound& got, std::int64_t settle) {
    Agreement r;
    const std::int64_t e = onset(expected), g = onset(got);
    if (e < 0 || g < 0 || expected.channels != got.channels)
        return r;
    // The onsets give the lag to within the path's smearing; the best
    // correlation near it gives it exactly.
    constexpr std::int64_t kSpan = 2048, kWindow = 32768;
    const std::int64_t guess = g - e;
    double best = -2;
    for (std::int64_t lag = guess - kSpan; lag <= guess + kSpan; ++lag) {
        const double c = correlation(expected, got, e, kWindow, lag);
        if (c > best) {
            best = c;
            r.lag = lag;
        }
    }
    r.found = true;
    r.correlation = best;
    const std::int64_t from = std::max<std::int64_t>(settle, -r.lag);
    const std::int64_t to = std::min(expected.frames(), got.frames() - r.lag);
    double squares = 0;
    for (std::int64_t f = from; f < to; ++f, ++r.compared)
        for (int c = 0; c < expected.channels; ++c) {
            const int d = std::abs(to16(expected.at(f, c)) - to16(got.at(f + r.lag, c)));
            squares += double(d) * d;
            if (d > r.maxDiff) {
                r.maxDiff = d;
                r.worstFrame = f;
            }
        }
    if (r.compared > 0)
        r.rmsDiff = std::sqrt(squares / static_cast<double>(r.compared * expected.channels));
    return r;
}

} // namespace qelvar::test::card

#include "audio/wav_reader.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace qelvar::audio {
namespace {

struct SndCloser {
    SNDFILE* f;
    ~SndCloser() {
        if (f)
            sf_close(f);
    }
};

// Frames of a file at `from` that are read: no more than the longest clip,
// nor more than fit it once resampled to `to`; a file of a tiny rate would
// otherwise grow without bound (1 Hz to 44100 Hz multiplies it by 44100).
std::int64_t inputLimit(int from, int to) {
    if (from == to || to < 1)
        return kMaxClipFrames;
    return std::clamp<std::int64_t>(kMaxClipFrames * from / to, 1, kMaxClipFrames);
}

// All channels of the file, read in blocks up to `limit` frames, folded to
// stereo.
Clip readFrames(SNDFILE* f, const SF_INFO& info, std::int64_t limit) {
    const int ch = info.channels;
    const std::int64_t want = std::min<std::int64_t>(info.frames, limit);
    Clip clip;
    clip.samples.reserve(static_cast<std::size_t>(want) * 2);
    std::vector<int> block(4096 * static_cast<std::size_t>(ch));
    std::int64_t got = 0;
    while (got < want) {
        const sf_count_t ask = std::min<std::int64_t>(4096, want - got);
        const sf_count_t n = sf_readf_int(f, block.data(), ask);
        if (n <= 0)
            break;
        for (sf_count_t i = 0; i < n; ++i) {
            const int* fr = &block[static_cast<std::size_t>(i * ch)];
            clip.samples.push_back(fr[0]);
            clip.samples.push_back(ch > 1 ? fr[1] : fr[0]);
        }
        got += n;
    }
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        clip.bits = 24;
        break;
    default:
        clip.bits = 16;
    }
    // Held to the sound's own steps, so that a take of it saved at that
    // depth keeps every sample that came back unchanged.
    if (clip.bits == 24)
        for (auto& v : clip.samples)
            v = static_cast<std::int32_t>(static_cast<std::uint32_t>(toBits(v, 24)) << 8);
    return clip;
}

} // namespace

std::optional<Clip> readClip(const std::string& path, int rate) {
    SF_INFO info{};
    SndCloser f{sf_open(path.c_str(), SFM_READ, &info)};
    if (!f.f || info.channels < 1 || info.samplerate < kMinRate || info.frames < 1)
        return std::nullopt;
    Clip clip = readFrames(f.f, info, inputLimit(info.samplerate, rate));
    if (clip.frames() == 0)
        return std::nullopt;
    if (info.samplerate != rate)
        clip = resampleLoop(clip, info.samplerate, rate);
    return clip;
}

Clip resampleLoop(const Clip& in, int from, int to) {
    const std::size_t n = in.frames();
    Clip out;
    out.bits = in.bits;
    if (n == 0 || from <= 0 || to <= 0)
        return out;
    const double exact = static_cast<double>(n) * to / from;
    const std::size_t m = std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(exact)));
    // The step is fitted to the rounded length so that one output loop
    // spans exactly one input loop.
    const double step = static_cast<double>(n) / static_cast<double>(m);
    // Interpolated to the sound's own depth.
    const double unit = std::ldexp(1.0, 32 - in.bits);
    const double top = std::ldexp(1.0, in.bits - 1) - 1;
    out.samples.resize(m * 2);
    for (std::size_t j = 0; j < m; ++j) {
        const double pos = static_cast<double>(j) * step;
        const std::size_t i0 = std::min(n - 1, static_cast<std::size_t>(pos));
        const std::size_t i1 = (i0 + 1) % n;
        const double t = pos - static_cast<double>(i0);
        for (std::size_t c = 0; c < 2; ++c) {
            const double v =
                (in.samples[i0 * 2 + c] * (1.0 - t) + in.samples[i1 * 2 + c] * t) / unit;
            out.samples[j * 2 + c] = static_cast<std::int32_t>(
                std::min(static_cast<double>(std::lround(v)), top) * unit);
        }
    }
    return out;
}

} // namespace qelvar::audio

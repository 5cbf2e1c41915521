#include "construct/noise/noise_run.h"

#include "common/files.h"
#include "construct/noise/noise_frame.h"

#include <algorithm>
#include <cmath>

namespace qelvar::noise {

namespace {

// The routines are written once for any source; the program's own source
// type is final with inline draws, so the run instantiates them for it and
// makes its 2.5 million draws without virtual calls.
template <class Source> void initializeWith(NoiseState& st, Source& rng) {
    rng.reseedFromClock();
    for (double& v : st.randtable)
        v = rng.u();
}

template <class Source> double newrandomWith(NoiseState& st, Source& rng) {
    rng.reseedFromClock();
    double r = rng.u();
    // floor(101 r) is 0..100 for any r in [0, 1); kept there for any source.
    auto k = static_cast<std::size_t>(std::clamp(std::floor(101.0 * r), 0.0, 100.0));
    double result = st.randtable[k];
    st.randtable[k] = rng.u();
    return result;
}

template <class Source> void fillWhite(NoiseState& st, Source& rng, std::vector<double>& white) {
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        newrandomWith(st, rng);
        white[i] = newrandomWith(st, rng) - 0.5;
    }
}

// A fresh draw (no reseed) turned into an index 0..176400.
template <class Source> std::uint32_t drawIndex(Source& rng) {
    double k = roundHalfEven(static_cast<double>(rng.u()) * static_cast<double>(noiseFrames));
    return static_cast<std::uint32_t>(std::clamp(k, 0.0, static_cast<double>(noiseFrames)));
}

template <class Source> void noisedatacalcWith(NoiseState& st, Source& rng, wav::FileImage& image) {
    const double gainL = 1.0;
    const double gainR = 1.0;
    const double F = 65535.0;
    initializeWith(st, rng);
    fillWhite(st, rng, st.whiteL);
    fillWhite(st, rng, st.whiteR);
    // All index draws first, in their order (left, right, frame by frame),
    // so that the scattered reads below can be fetched ahead.
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        st.drawn[2 * i] = drawIndex(rng);
        st.drawn[2 * i + 1] = drawIndex(rng);
    }
    constexpr std::size_t ahead = 32;
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        if (i + ahead <= noiseFrames) {
            __builtin_prefetch(&st.whiteL[st.drawn[2 * (i + ahead)]]);
            __builtin_prefetch(&st.whiteR[st.drawn[2 * (i + ahead) + 1]]);
        }
        double wL = st.whiteL[st.drawn[2 * i]];
        st.noiseL[i] = (F * wL) / (2.0 / gainL);
        double wR = st.whiteR[st.drawn[2 * i + 1]];
        st.noiseR[i] = (F * wR) / (2.0 / gainR);
        encodeNoiseFrame(image, i, st.noiseL[i], st.noiseR[i], fullCodes);
    }
}

} // namespace

void initialize(NoiseState& st, UniformSource& rng) {
    initializeWith(st, rng);
}

double newrandom(NoiseState& st, UniformSource& rng) {
    return newrandomWith(st, rng);
}

void noisedatacalc(NoiseState& st, UniformSource& rng, wav::FileImage& image) {
    if (image.lastElement() < fullNoiseBytes)
        return;
    if (auto* own = dynamic_cast<ClockedUniformSource*>(&rng))
        noisedatacalcWith(st, *own, image);
    else
        noisedatacalcWith(st, rng, image);
}

void putNoiseHeader(wav::FileImage& image) {
    if (image.lastElement() < 44)
        return;
    image.putConstantHeader();
    image.setFormat(2, 44100, 16);
    image.setBlockAlign(4);
    const std::uint32_t L = noiseFrames * 4;
    image.setDataLength(L);
    image.setRiffLength(L);
    image.setByteRate(2 * 44100 * 2);
}

RunResult NoiseRun::run(wav::FileImage& image, const std::string& dir, UniformSource& rng) {
    if (image.lastElement() < fullNoiseBytes)
        return {false, std::string(noiseFileNames[0])};
    struct Step {
        void (*build)(NoiseState&, wav::FileImage&, UniformSource&);
        std::size_t bytes;
    };
    static constexpr std::array<Step, 6> steps{{
        {[](NoiseState& s, wav::FileImage& im, UniformSource& r) { noisedatacalc(s, r, im); },
         fullNoiseBytes},
        {[](NoiseState& s, wav::FileImage& im, UniformSource&) { iecfilter(s, im); },
         shortNoiseBytes},
        {[](NoiseState& s, wav::FileImage& im, UniformSource&) { subfilter(s, im); },
         shortNoiseBytes},
        {[](NoiseState& s, wav::FileImage& im, UniformSource&) {
             pinkfilter(s);
             highpasspink(s, im);
         },
         fullNoiseBytes},
        {[](NoiseState& s, wav::FileImage& im, UniformSource&) { ulfilter(s, im); },
         fullNoiseBytes},
        {[](NoiseState& s, wav::FileImage& im, UniformSource&) { csafilter(s, im); },
         fullNoiseBytes},
    }};
    putNoiseHeader(image);
    for (std::size_t f = 0; f < steps.size(); ++f) {
        steps[f].build(st_, image, rng);
        std::string path = dir + "/" + std::string(noiseFileNames[f]);
        if (!replaceFile(path, image.fileBytes(steps[f].bytes)))
            return {false, std::string(noiseFileNames[f])};
    }
    return {};
}

} // namespace qelvar::noise

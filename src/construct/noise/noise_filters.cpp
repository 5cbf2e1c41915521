#include "construct/noise/noise_filters.h"

#include "construct/noise/noise_frame.h"

#include <algorithm>
#include <cstring>

namespace qelvar::noise {

NoiseState::NoiseState()
    : randtable(102, 0.0), whiteL(noiseFrames + 1, 0.0), whiteR(noiseFrames + 1, 0.0),
      noiseL(noiseFrames + 1, 0.0), noiseR(noiseFrames + 1, 0.0), workL(noiseFrames + 1, 0.0),
      workR(noiseFrames + 1, 0.0), accL(noiseFrames + 1, 0.0), accR(noiseFrames + 1, 0.0),
      drawn(2 * (noiseFrames + 1), 0) {}

namespace {

Section biquad(double b0, double b1, double b2, double a1, double a2) {
    Section s;
    s.b = {b0, b1, b2, 0.0, 0.0};
    s.a = {1.0, a1, a2, 0.0, 0.0};
    return s;
}

Section firstOrder(double b0, double a1) {
    return biquad(b0, 0.0, 0.0, a1, 0.0);
}

bool fits(const wav::FileImage& image) {
    return image.lastElement() >= fullNoiseBytes;
}

constexpr EngineLimits seriesLimits{32766.0, -32766.0, 32766.0};
constexpr EngineLimits pinkLimits{32768.0, -32767.0, 32767.0};
constexpr EngineLimits highPassLimits{32768.0, -32768.0, 32767.0};

// IEC and SUB: one second of the left noise through two sections in
// series, trimmed, the same samples in both channels.
template <std::size_t N>
void bandNoise(NoiseState& st, wav::FileImage& image, const std::array<Section, N>& sections,
               std::int32_t D, std::int32_t M) {
    if (!fits(image))
        return;
    constexpr std::size_t second = 44100;
    std::copy_n(st.noiseL.begin() + 1, second, st.workL.begin() + 1);
    runSections(sections, st.workL, second, seriesLimits);
    Trim t = trimQuiet(std::span<double>(st.workL.data(), second + 1), D, M);
    st.S = t.S;
    st.E = t.E;
    for (std::int32_t i = 1; i <= t.E - t.S; ++i) {
        double v = st.workL[static_cast<std::size_t>(t.S + i - 1)];
        encodeNoiseFrame(image, static_cast<std::size_t>(i), v, v, fullCodes);
    }
    noiselength(image, t.S, t.E);
}

void copyAndClear(NoiseState& st) {
    std::copy(st.noiseL.begin() + 1, st.noiseL.end(), st.workL.begin() + 1);
    std::copy(st.noiseR.begin() + 1, st.noiseR.end(), st.workR.begin() + 1);
    std::fill(st.accL.begin() + 1, st.accL.end(), 0.0);
    std::fill(st.accR.begin() + 1, st.accR.end(), 0.0);
}

// One high-pass over twice the pink noise, times 4, with the first 6710
// frames dropped so the loop starts after the filters have settled.
void pinkFile(NoiseState& st, wav::FileImage& image, const Section& hp, CodeRange codes) {
    if (!fits(image))
        return;
    copyAndClear(st);
    std::span<const Section> one(&hp, 1);
    runSections(one, {st.workL, st.accL}, {st.workR, st.accR}, noiseFrames, highPassLimits);
    for (std::size_t n = 1; n <= noiseFrames; ++n)
        encodeNoiseFrame(image, n, 4.0 * st.accL[n], 4.0 * st.accR[n], codes);
    constexpr std::size_t dropped = 6710 * 4;
    std::memmove(image.data() + 45, image.data() + 45 + dropped, 678804 - 45 + 1);
    st.S = 6710;
    st.E = 154350;
    noiselength(image, st.S, st.E);
}

} // namespace

std::array<Section, 2> iecSections() {
    return {biquad(0.00172286085638593, 0.00344572171277185, 0.00172286085638593, -1.88031582883994,
                   0.887207272265488),
            biquad(0.996018461315136, -1.99203692263027, 0.996018461315136, -1.99202074770406,
                   0.992053097556481)};
}

std::array<Section, 2> subSections() {
    Section lp = biquad(0.000288847077220322, 0.000577694154440644, 0.000288847077220322,
                        -1.97605942378546, 0.976348270862677);
    return {lp, lp};
}

std::array<Section, 7> pinkSections() {
    return {firstOrder(0.00055179, -0.99886), firstOrder(0.000750759, -0.99332),
            firstOrder(0.00153852, -0.969),   firstOrder(0.003104856, -0.8665),
            firstOrder(0.005329522, -0.55),   firstOrder(-0.00016898, 0.7616),
            firstOrder(0.00652126, 0.0)};
}

Section pinkHighPass() {
    return biquad(0.998575243311294, -1.99715048662259, 0.998575243311294, -1.99714643252723,
                  0.99715454071795);
}

Section ulHighPass() {
    return biquad(0.996438133434548, -1.9928762668691, 0.996438133434548, -1.992850982821,
                  0.992901550917192);
}

void iecfilter(NoiseState& st, wav::FileImage& image) {
    bandNoise(st, image, iecSections(), 1000, 1000);
}

void subfilter(NoiseState& st, wav::FileImage& image) {
    bandNoise(st, image, subSections(), 6000, 4000);
}

void pinkfilter(NoiseState& st) {
    copyAndClear(st);
    auto bank = pinkSections();
    runSections(bank, {st.workL, st.accL}, {st.workR, st.accR}, noiseFrames, pinkLimits);
    for (std::size_t i = 1; i <= noiseFrames; ++i) {
        st.noiseL[i] = 2.0 * st.accL[i];
        st.noiseR[i] = 2.0 * st.accR[i];
    }
}

void highpasspink(NoiseState& st, wav::FileImage& image) {
    pinkFile(st, image, pinkHighPass(), fullCodes);
}

void ulfilter(NoiseState& st, wav::FileImage& image) {
    pinkFile(st, image, ulHighPass(), ulCodes);
}

// The same filter and codes as the pink file: the two files are the same.
void csafilter(NoiseState& st, wav::FileImage& image) {
    pinkFile(st, image, pinkHighPass(), fullCodes);
}

} // namespace qelvar::noise

// The step build pipeline: buildwav and the routines it calls, in order.
#include "construct/step_builder.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>

namespace qelvar::construct {

namespace {

// The page's value of a full turn of phase; every step file holds whole
// turns of it, so a file loops without a click.
constexpr double kFullTurn = 6.283038530718;

// Every page build is 16-bit stereo.
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;

constexpr double kMaxData = static_cast<double>(StepBuilder::kImageLast - 44);

// A data length the buffer can hold, cut down to whole frames.
std::int32_t boundedLength(double L) {
    if (!(L > 0))
        return 0;
    L = std::min(L, kMaxData);
    return static_cast<std::int32_t>(4 * std::floor(L / 4));
}

double gainOf(double attenuation) {
    return std::pow(10.0, -attenuation / 20.0);
}

double waveform(Waveform w, double theta) {
    const double s = std::sin(theta);
    switch (w) {
    case Waveform::Smpte:
        return 0.8 * s + 0.2 * std::sin(110.0026 * theta);
    case Waveform::Ccif:
        return (std::sin(27.0006 * theta) * 0.5) * (s * 0.5);
    case Waveform::Square:
        return s <= 0 ? -0.5 : 0.5;
    case Waveform::Triangle: {
        double sum = 0;
        for (int k = 1, sign = 1; k <= 27; k += 2, sign = -sign)
            sum += sign * std::sin(k * theta) / (k * k);
        return 0.5 * sum;
    }
    case Waveform::Sine:
        break;
    }
    return s;
}

} // namespace

void StepBuilder::open() {
    carry_ = BuildCarry{};
    image_[0] = 0;
    image_.putConstantHeader();
}

void StepBuilder::applyGain(int n, AttBoxes boxes) {
    const int box = n - 1;
    if (box < 0 || box >= static_cast<int>(boxes.left.size()) ||
        box >= static_cast<int>(boxes.right.size()))
        return;
    double a = leadingNumber(boxes.left[box]);
    if (a > -1 && a < 100)
        carry_.gainL[n] = gainOf(a);
    a = leadingNumber(boxes.right[box]);
    if (a > -1 && a < 100)
        carry_.gainR[n] = gainOf(a);
}

StepFile StepBuilder::build(StepTable& t, int n, BuildMode mode, AttBoxes boxes) {
    carry_.currentStep = n;
    if (t.rate[n] == 0)
        t.rate[n] = 44100;
    if (t.bits[n] == 0)
        t.bits[n] = 16;
    if (t.mode[n].empty())
        t.mode[n] = "ST L+R";
    if (t.frequency[n] == 0)
        t.frequency[n] = 1000;
    if (t.frequency[n] < 0)
        return refused(t, n);
    image_.setFormat(kChannels, static_cast<std::uint32_t>(t.rate[n]), t.bits[n]);
    applyGain(n, boxes);
    if (n == kPulseOn) {
        const double f = t.frequency[kPulseOn] * 0.001;
        t.length[kPulseOn] *= f;
        t.length[kPulseOff] *= f;
    }
    if (mode.pulse)
        carry_.gainR[n] = carry_.gainL[n];
    const Length len = lengthdata(t, n, mode);
    // A set-up file may hold a frequency so high that a step would hold
    // no whole frame; such a step is not written.
    if (len.L == 0 && !mode.pulse)
        return refused(t, n);
    const std::int32_t L = rifflength(t, len.L, mode.pulse);
    byterate(t.rate[len.step]);
    blockalign();
    datacalc(len.step, L, len.cycles, mode.wave);
    if (mode.pulse)
        return pulseFile(t, L, len.cycles, mode.wave, boxes);
    const auto bytes = image_.fileBytes(static_cast<std::size_t>(L) + 44);
    return {StepFile::Outcome::Ready, {bytes.begin(), bytes.end()}, {}};
}

StepBuilder::Length StepBuilder::lengthdata(StepTable& t, int n, BuildMode mode) {
    int cycles = t.frequency[n] > 1000 ? 10 : 2;
    if (mode.whiteNoise) {
        n = 0;
        t.frequency[0] = 1;
        cycles = 1;
    }
    if (mode.wave == Waveform::Smpte || mode.wave == Waveform::Ccif) {
        n = 0;
        t.frequency[0] = mode.wave == Waveform::Smpte ? 60 : 500;
        carry_.gainL[0] = 0.5;
        carry_.gainR[0] = 0.5;
    }
    carry_.currentStep = n;
    const double f = t.frequency[n] > 0 ? t.frequency[n] : 1000;
    const double L = static_cast<double>(
        roundEven(((((1.0 / f) * cycles) * t.rate[n]) * kChannels) * (t.bits[n] / 8.0)));
    const std::int32_t cut = mode.pulse ? pulseLength(t, L) : boundedLength(L);
    image_.setDataLength(static_cast<std::uint32_t>(cut));
    return {n, cut, cycles};
}

// In pulse mode the header keeps the whole burst's length, but the data
// built from here on is one block.
std::int32_t StepBuilder::rifflength(const StepTable& t, std::int32_t L, bool pulse) {
    image_.setRiffLength(static_cast<std::uint32_t>(L));
    return pulse ? pulseBlock(t, L) : L;
}

void StepBuilder::byterate(std::int32_t rate) {
    image_.setByteRate(static_cast<std::uint32_t>(rate * kChannels * kBytesPerSample));
}

void StepBuilder::blockalign() {
    image_.setBlockAlign(kChannels * kBytesPerSample);
}

void StepBuilder::datacalc(int n, std::int32_t L, int cycles, Waveform w) {
    const double p = static_cast<double>(L) / (kChannels * 2 * cycles);
    const double delta = kFullTurn / p;
    const std::size_t frames = static_cast<std::size_t>(L) / 4;
    for (std::size_t i = 1; i <= frames; ++i) {
        const double s = waveform(w, delta * static_cast<double>(i - 1));
        image_.put(4 * i + 41, wav::encode16(s, carry_.gainL[n]));
        image_.put(4 * i + 43, wav::encode16(s, carry_.gainR[n]));
    }
}

StepFile StepBuilder::refused(const StepTable& t, int n) const {
    return {StepFile::Outcome::Refused,
            {},
            "    Step " + std::to_string(n) + ": " + std::to_string(t.frequency[n]) +
                " Hz cannot be built."};
}

} // namespace qelvar::construct

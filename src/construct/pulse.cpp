// The pulse builder: a tone burst of T-on at the Att-on level and T-off at
// the Att-off level, written as repeated blocks of G cycles each.
#include "construct/step_builder.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace qelvar::construct {

namespace {

// A burst longer than this comes only from lengths that were cycle counts
// already (a T-on or T-off box out of range keeps the converted value, which
// the next build multiplies again); the longest real burst is about 106 MB.
constexpr double kMaxPulseFile = 128.0 * 1024 * 1024;

// G, the cycles of one block: the on frequency's, whatever the build's.
int pulseGroup(const StepTable& t) {
    return t.frequency[kPulseOn] > 1000 ? 10 : 2;
}

// The on and off times, as cycles of the on frequency after the build.
double onPlusOff(const StepTable& t) {
    return t.length[kPulseOn] + t.length[kPulseOff];
}

} // namespace

// L1 = one group's data length; the header declares about (on + off) ÷ G
// groups of it.
std::int32_t StepBuilder::pulseLength(const StepTable& t, double L1) const {
    double L = std::floor(L1 * onPlusOff(t));
    L = std::floor(L / pulseGroup(t));
    if (!(L > 0))
        return 0;
    L = std::min(L, static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(4 * std::floor(L / 4));
}

std::int32_t StepBuilder::pulseBlock(const StepTable& t, std::int32_t L) const {
    const double sum = onPlusOff(t);
    if (!(sum > 0))
        return 0;
    double B = std::floor(static_cast<double>(L) / sum) * pulseGroup(t);
    B = std::min(4 * std::floor(B / 4), static_cast<double>(kImageLast - 44));
    return B > 0 ? static_cast<std::int32_t>(B) : 0;
}

// The header, the on block n_on = on ÷ G times, then the off block built at
// step 22 n_off = off times (more than the header declares; never played).
StepFile StepBuilder::pulseFile(const StepTable& t, std::int32_t L, int cycles, Waveform w,
                                AttBoxes boxes) {
    const std::size_t B = static_cast<std::size_t>(L);
    const double on = std::floor(t.length[kPulseOn] / cycles);
    const double off = std::floor(t.length[kPulseOff]);
    // An empty block counts as one byte: lengths so long that the longest
    // header holds no whole block are too long, not a header alone with
    // counts past any size_t.
    const double total = 44 + (std::max(on, 0.0) + std::max(off, 0.0)) *
                                  static_cast<double>(std::max<std::size_t>(B, 1));
    if (!(total <= kMaxPulseFile))
        return {StepFile::Outcome::TooLong, {}, "    Pulse file too long: check T-on and T-off."};
    const std::size_t nOn = on > 0 ? static_cast<std::size_t>(on) : 0;
    const std::size_t nOff = off > 0 ? static_cast<std::size_t>(off) : 0;
    StepFile f;
    f.bytes.resize(44 + (nOn + nOff) * B);
    std::memcpy(f.bytes.data(), image_.fileBytes(44).data(), 44);
    std::uint8_t* out = f.bytes.data() + 44;
    auto repeatBlock = [&](std::size_t count) {
        const std::uint8_t* block = image_.fileBytes(44 + B).data() + 44;
        for (std::size_t i = 0; i < count; ++i, out += B)
            std::memcpy(out, block, B);
    };
    repeatBlock(nOn);
    carry_.currentStep = kPulseOff;
    const double a =
        boxes.left.size() > kPulseOff - 1 ? leadingNumber(boxes.left[kPulseOff - 1]) : 100;
    if (a > -1 && a < 100)
        carry_.gainL[kPulseOff] = carry_.gainR[kPulseOff] = std::pow(10.0, -a / 20.0);
    datacalc(kPulseOff, L, cycles, w);
    repeatBlock(nOff);
    return f;
}

} // namespace qelvar::construct

// The pulse builder: a tone burst of T-on at the Att-on level and T-off at
// the Att-off level, written as repeated blocks of G cycles each.
#include "construct/page_model.h"

#include "common/files.h"
#include "common/numbers.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace qelvar::construct {

namespace {

// A burst longer than this comes only from lengths that were cycle counts
// already (a T-on or T-off box out of range keeps the converted value, which
// the next build multiplies again); the longest real burst is about 106 MB.
constexpr double kMaxPulseFile = 128.0 * 1024 * 1024;

} // namespace

int PageModel::pulseGroup() const {
    return t_.frequency[kPulseOn] > 1000 ? 10 : 2;
}

// L1 = one group's data length; the header declares about (on + off) ÷ G
// groups of it.
double PageModel::pulseScaled(double L1) {
    pulseOn_ = t_.length[kPulseOn];
    pulseOff_ = t_.length[kPulseOff];
    double L = std::floor(L1 * (pulseOn_ + pulseOff_));
    L = std::floor(L / pulseGroup());
    if (!(L > 0))
        return 0;
    return std::min(L, static_cast<double>(std::numeric_limits<std::int32_t>::max()));
}

std::int32_t PageModel::pulseBlock() const {
    const double sum = pulseOn_ + pulseOff_;
    if (!(sum > 0))
        return 0;
    double B = std::floor(static_cast<double>(L_) / sum) * pulseGroup();
    B = std::min(4 * std::floor(B / 4), static_cast<double>(kImageLast - 44));
    return B > 0 ? static_cast<std::int32_t>(B) : 0;
}

void PageModel::writePulse() {
    const std::size_t B = static_cast<std::size_t>(L_);
    const double on = std::floor(pulseOn_ / cycleCount_);
    const double off = std::floor(pulseOff_);
    const double total = 44 + (std::max(on, 0.0) + std::max(off, 0.0)) * static_cast<double>(B);
    if (!(total <= kMaxPulseFile)) {
        c_.status = "    Pulse file too long: check T-on and T-off.";
        writeFailed_ = true;
        return;
    }
    const std::size_t nOn = on > 0 ? static_cast<std::size_t>(on) : 0;
    const std::size_t nOff = off > 0 ? static_cast<std::size_t>(off) : 0;
    std::vector<std::uint8_t> file(44 + (nOn + nOff) * B);
    std::memcpy(file.data(), image_.fileBytes(44).data(), 44);
    std::uint8_t* out = file.data() + 44;
    auto repeatBlock = [&](std::size_t count) {
        const std::uint8_t* block = image_.fileBytes(44 + B).data() + 44;
        for (std::size_t i = 0; i < count; ++i, out += B)
            std::memcpy(out, block, B);
    };
    repeatBlock(nOn);
    currentStep_ = kPulseOff;
    const double a = leadingNumber(c_.attL[kPulseOff - 1]);
    if (a > -1 && a < 100)
        t_.gainL[kPulseOff] = t_.gainR[kPulseOff] = std::pow(10.0, -a / 20.0);
    datacalc();
    repeatBlock(nOff);
    writeFile(fileName_, file.data(), file.size());
}

void PageModel::pulse() {
    Stopplay();
    playing_ = 0;
    interval_ = 0;
    setLamp(Lamp::Play, false);
    allRowsIdle();
    if (pulsePlaying_ == 1) {
        pulsePlaying_ = 0;
        setLamp(Lamp::Pulse, false);
        Stopplay();
        fileName_.clear();
        interval_ = 0;
        return;
    }
    pulsePlaying_ = 1;
    setLamp(Lamp::Pulse, true);
    fileName_ = stepFile(kPulseOn);
    playloop();
}

} // namespace qelvar::construct

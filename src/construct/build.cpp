// The step build pipeline: buildwav and the routines it calls, in order.
#include "construct/page_model.h"

#include "common/files.h"
#include "common/numbers.h"

#include <cmath>

namespace qelvar::construct {

namespace {

// The page's value of a full turn of phase; every step file holds whole
// turns of it, so a file loops without a click.
constexpr double kFullTurn = 6.283038530718;

constexpr double kMaxData = static_cast<double>(PageModel::kImageLast - 44);

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

} // namespace

void PageModel::applyGain(int n, int box) {
    if (box < 0 || box >= static_cast<int>(c_.attL.size()))
        return;
    double a = leadingNumber(c_.attL[box]);
    if (a > -1 && a < 100)
        t_.gainL[n] = gainOf(a);
    a = leadingNumber(c_.attR[box]);
    if (a > -1 && a < 100)
        t_.gainR[n] = gainOf(a);
}

void PageModel::buildwav() {
    const int n = currentStep_;
    if (t_.rate[n] == 0)
        t_.rate[n] = 44100;
    if (t_.bits[n] == 0)
        t_.bits[n] = 16;
    if (t_.mode[n].empty())
        t_.mode[n] = "ST L+R";
    if (t_.frequency[n] == 0)
        t_.frequency[n] = 1000;
    if (t_.frequency[n] < 0) {
        refuseBuild(n);
        return;
    }
    image_.setFormat(channels_, static_cast<std::uint32_t>(t_.rate[n]), t_.bits[n]);
    bytesPerSample_ = 2;
    applyGain(n, n - 1);
    if (n == kPulseOn) {
        const double f = t_.frequency[kPulseOn] * 0.001;
        t_.length[kPulseOn] *= f;
        t_.length[kPulseOff] *= f;
    }
    if (pulseMode_)
        t_.gainR[n] = t_.gainL[n];
    lengthdata();
    // A set-up file may hold a frequency so high that a step would hold
    // no whole frame; such a step is not written.
    if (L_ == 0 && !pulseMode_) {
        refuseBuild(n);
        return;
    }
    rifflength();
    byterate();
    blockalign();
    datacalc();
    writewav();
}

void PageModel::lengthdata() {
    int n = currentStep_;
    cycleCount_ = t_.frequency[n] > 1000 ? 10 : 2;
    if (signalFlag(Signal::White)) {
        currentStep_ = 0;
        t_.frequency[0] = 1;
        cycleCount_ = 1;
    }
    if (signalFlag(Signal::Smpte) || signalFlag(Signal::Ccif)) {
        currentStep_ = 0;
        t_.frequency[0] = signalFlag(Signal::Smpte) ? 60 : 500;
        t_.gainL[0] = 0.5;
        t_.gainR[0] = 0.5;
    }
    n = currentStep_;
    const double f = t_.frequency[n] > 0 ? t_.frequency[n] : 1000;
    double L = static_cast<double>(
        roundEven(((((1.0 / f) * cycleCount_) * t_.rate[n]) * channels_) * (t_.bits[n] / 8.0)));
    if (pulseMode_)
        L_ = static_cast<std::int32_t>(4 * std::floor(pulseScaled(L) / 4));
    else
        L_ = boundedLength(L);
    image_.setDataLength(static_cast<std::uint32_t>(L_));
}

void PageModel::rifflength() {
    image_.setRiffLength(static_cast<std::uint32_t>(L_));
    if (pulseMode_)
        L_ = pulseBlock();
}

void PageModel::byterate() {
    image_.setByteRate(
        static_cast<std::uint32_t>(t_.rate[currentStep_] * channels_ * bytesPerSample_));
}

void PageModel::blockalign() {
    image_.setBlockAlign(channels_ * bytesPerSample_);
}

double PageModel::waveform(double theta) const {
    const double s = std::sin(theta);
    if (signalFlag(Signal::Smpte))
        return 0.8 * s + 0.2 * std::sin(110.0026 * theta);
    if (signalFlag(Signal::Ccif))
        return (std::sin(27.0006 * theta) * 0.5) * (s * 0.5);
    if (signalFlag(Signal::Square))
        return s <= 0 ? -0.5 : 0.5;
    if (signalFlag(Signal::Triangle)) {
        double sum = 0;
        for (int k = 1, sign = 1; k <= 27; k += 2, sign = -sign)
            sum += sign * std::sin(k * theta) / (k * k);
        return 0.5 * sum;
    }
    return s;
}

void PageModel::datacalc() {
    const int n = currentStep_;
    const double p = static_cast<double>(L_) / (channels_ * 2 * cycleCount_);
    const double delta = kFullTurn / p;
    const std::size_t frames = static_cast<std::size_t>(L_) / 4;
    for (std::size_t i = 1; i <= frames; ++i) {
        const double s = waveform(delta * static_cast<double>(i - 1));
        image_.put(4 * i + 41, wav::encode16(s, t_.gainL[n]));
        image_.put(4 * i + 43, wav::encode16(s, t_.gainR[n]));
    }
}

void PageModel::writewav() {
    Stopplay();
    if (fileName_.empty())
        fileName_ = stepFile(0);
    if (pulseMode_) {
        fileName_ = stepFile(kPulseOn);
        writePulse();
        return;
    }
    writeFile(fileName_, image_.fileBytes(static_cast<std::size_t>(L_) + 44).data(),
              static_cast<std::size_t>(L_) + 44);
}

void PageModel::refuseBuild(int n) {
    c_.status = "    Step " + std::to_string(n) + ": " + std::to_string(t_.frequency[n]) +
                " Hz cannot be built.";
    writeFailed_ = true;
}

bool PageModel::writeFile(const std::string& name, const std::uint8_t* bytes, std::size_t n) {
    if (qelvar::overwriteFile(name, {bytes, n}))
        return true;
    c_.status = "    Cannot write " + name;
    writeFailed_ = true;
    return false;
}

void PageModel::playloop() {
    if (fileName_.empty())
        fileName_ = stepFile(0);
    snd_.playSound(fileName_, audio::kLoopFile);
}

void PageModel::Stopplay() {
    snd_.playSound(path("stopwav.wav"), audio::kPlayOnce);
    snd_.playSound("0", audio::kPurgeAll);
    snd_.mciSendString(audio::kCloseAll);
}

// --- Buttons -------------------------------------------------------------

void PageModel::build(int row) {
    if (row < 1 || row > kPulseOn)
        return;
    pulseMode_ = row == kPulseOn ? 1 : 0;
    currentStep_ = row;
    update();
    fileName_ = stepFile(row);
    buildwav();
    pulseMode_ = 0;
    if (row == kPulseOn) {
        setLamp(Lamp::Pulse, true);
        fileName_ = stepFile(kPulseOn);
        playloop();
    }
}

void PageModel::autobuildAll() {
    pulseMode_ = 0;
    writeFailed_ = false;
    for (int r = 1; r <= kRows; ++r) {
        currentStep_ = r;
        fileName_ = stepFile(r);
        buildwav();
    }
    if (!writeFailed_)
        c_.status = "    All files created.";
}

} // namespace qelvar::construct

#include "report/live_meter.h"

#include "report/spectrum.h"

#include <algorithm>
#include <cmath>

namespace qelvar::report {
namespace {

constexpr double kFull = 2147483648.0;

double db(double power) {
    return power > 0 ? std::max(LiveMeter::kFloorDbfs, dbfsOfPower(power)) : LiveMeter::kFloorDbfs;
}

} // namespace

void LiveMeter::feed(const audio::InputTail& tail) {
    const auto frames = static_cast<std::int64_t>(tail.stereo.size() / 2);
    if (frames == 0)
        return;
    const std::int64_t first = tail.end - frames;
    // New frames only: an update that finds none keeps the last peak.
    const std::int64_t from = std::max<std::int64_t>(0, (seen_ < 0 ? first : seen_) - first);
    if (from < frames) {
        for (int ch = 0; ch < 2; ++ch) {
            double p = 0;
            for (std::int64_t k = from; k < frames; ++k)
                p = std::max(p, std::abs(tail.stereo[2 * k + ch] / kFull));
            peak_[ch] = p > 0 ? std::max(kFloorDbfs, 20 * std::log10(p)) : kFloorDbfs;
            clipped_[ch] = clipped_[ch] || peak_[ch] >= kClipDbfs;
        }
        seen_ = tail.end;
    }
    for (int ch = 0; ch < 2; ++ch) {
        const auto n = std::min<std::int64_t>(frames, kRmsFrames);
        double s = 0;
        for (std::int64_t k = frames - n; k < frames; ++k) {
            const double v = tail.stereo[2 * k + ch] / kFull;
            s += v * v;
        }
        // dBFS of RMS as a sine's: a full-scale sine reads 0 dBFS.
        rms_[ch] = db(s / double(n));
    }
    if (frames < static_cast<std::int64_t>(kFftFrames))
        return;
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<double> x(kFftFrames);
        for (std::size_t k = 0; k < kFftFrames; ++k)
            x[k] = tail.stereo[2 * (frames - kFftFrames + k) + ch] / kFull;
        const PowerSpectrum p(x, 44100);
        const auto bins = p.bins();
        auto& avg = power_[ch];
        if (avg.size() != bins.size())
            avg.assign(bins.begin(), bins.end());
        else
            for (std::size_t i = 0; i < bins.size(); ++i)
                avg[i] += weight_ * (bins[i] - avg[i]);
        auto& shown = spectrum_[ch];
        auto& hold = hold_[ch];
        shown.resize(avg.size());
        if (hold.size() != avg.size())
            hold.assign(avg.size(), kFloorDbfs);
        for (std::size_t i = 0; i < avg.size(); ++i) {
            shown[i] = db(avg[i]);
            hold[i] = std::max(hold[i], shown[i]);
        }
    }
}

void LiveMeter::resetPeakHold() {
    for (auto& h : hold_)
        std::fill(h.begin(), h.end(), kFloorDbfs);
}

double LiveMeter::toneHz(int ch) const {
    const auto& p = power_[ch];
    if (p.size() < 3)
        return 0;
    const auto top = std::max_element(p.begin() + 1, p.end()) - p.begin();
    // The power-weighted centre of the main lobe.
    double w = 0, s = 0;
    for (auto i = std::max<std::ptrdiff_t>(0, top - kLobeBins);
         i <= std::min<std::ptrdiff_t>(std::ssize(p) - 1, top + kLobeBins); ++i) {
        w += p[i];
        s += p[i] * double(i);
    }
    return w > 0 ? s / w * binHz() : 0;
}

double LiveMeter::toneDbfs(int ch) const {
    const auto& p = power_[ch];
    if (p.size() < 3)
        return kFloorDbfs;
    const auto top = std::max_element(p.begin() + 1, p.end()) - p.begin();
    double s = 0;
    for (auto i = std::max<std::ptrdiff_t>(0, top - kLobeBins);
         i <= std::min<std::ptrdiff_t>(std::ssize(p) - 1, top + kLobeBins); ++i)
        s += p[i];
    return db(s);
}

const std::vector<double>& LiveMeter::thirdOctaveCentres() {
    static const std::vector<double> c{20,   25,   31.5, 40,    50,    63,    80,   100,
                                       125,  160,  200,  250,   315,   400,   500,  630,
                                       800,  1000, 1250, 1600,  2000,  2500,  3150, 4000,
                                       5000, 6300, 8000, 10000, 12500, 16000, 20000};
    return c;
}

std::vector<double> LiveMeter::thirdOctaveDb(int ch) const {
    std::vector<double> out;
    const auto& p = power_[ch];
    for (double c : thirdOctaveCentres()) {
        double s = 0;
        if (!p.empty()) {
            const double lo = c / std::pow(2.0, 1.0 / 6), hi = c * std::pow(2.0, 1.0 / 6);
            const auto a = static_cast<std::size_t>(std::ceil(lo / binHz()));
            const auto b =
                std::min(p.size(), static_cast<std::size_t>(std::floor(hi / binHz())) + 1);
            for (std::size_t i = a; i < b; ++i)
                s += p[i];
        }
        out.push_back(db(s));
    }
    return out;
}

} // namespace qelvar::report

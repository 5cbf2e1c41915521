#include "report/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>

namespace qelvar::report {

std::mutex& fftwPlannerLock() {
    static std::mutex lock;
    return lock;
}

namespace {

// 7-term Blackman-Harris coefficients (they sum to 1).
constexpr double kCoeffs[] = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                              0.06592544638803, 0.01081174209837, 0.00077658482522,
                              0.00001388721735};

struct Plan {
    fftw_plan plan = nullptr;
    std::vector<double> window; // periodic, so lobe zeros fall on whole bins
    double windowPower = 0;     // sum of w²
    ~Plan() {
        std::lock_guard lock(fftwPlannerLock());
        fftw_destroy_plan(plan);
    }
};

std::shared_ptr<const Plan> makePlan(std::size_t n) {
    auto p = std::make_shared<Plan>();
    p->window.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * double(i) / double(n);
        double w = 0;
        for (int k = 0; k < 7; ++k)
            w += (k % 2 ? -1 : 1) * kCoeffs[k] * std::cos(k * t);
        p->window[i] = w;
        p->windowPower += w * w;
    }
    std::vector<double> in(n);
    std::vector<std::complex<double>> out(n / 2 + 1);
    std::lock_guard lock(fftwPlannerLock());
    p->plan = fftw_plan_dft_r2c_1d(int(n), in.data(), reinterpret_cast<fftw_complex*>(out.data()),
                                   FFTW_ESTIMATE | FFTW_UNALIGNED);
    return p;
}

// Plans are kept by length; a handful of lengths is all a report uses.
// Dropped plans are destroyed after the cache lock is let go, since their
// destructors take the planner lock.
std::shared_ptr<const Plan> planFor(std::size_t n) {
    static std::mutex cacheLock;
    static std::map<std::size_t, std::shared_ptr<const Plan>> cache;
    {
        std::lock_guard lock(cacheLock);
        if (auto it = cache.find(n); it != cache.end())
            return it->second;
    }
    auto made = makePlan(n);
    std::map<std::size_t, std::shared_ptr<const Plan>> dropped;
    std::lock_guard lock(cacheLock);
    if (cache.size() >= 8)
        dropped.swap(cache); // plans still in use live on in their users
    return cache.emplace(n, made).first->second;
}

} // namespace

double dbfsOfPower(double power) {
    return 10 * std::log10(std::max(2 * power, 1e-300));
}

PowerSpectrum::PowerSpectrum(std::span<const double> x, double rate) {
    const std::size_t n = std::min(x.size(), kMaxSamples);
    if (n < 4 * kLobeBins || rate <= 0) {
        power_.assign(2, 0.0);
        binHz_ = rate > 0 ? rate / 2 : 1;
        return;
    }
    const auto plan = planFor(n);
    std::vector<double> in(n);
    for (std::size_t i = 0; i < n; ++i)
        in[i] = x[i] * plan->window[i];
    std::vector<std::complex<double>> out(n / 2 + 1);
    fftw_execute_dft_r2c(plan->plan, in.data(), reinterpret_cast<fftw_complex*>(out.data()));
    binHz_ = rate / double(n);
    power_.resize(out.size());
    const double scale = 2 / (double(n) * plan->windowPower);
    for (std::size_t k = 0; k < out.size(); ++k)
        power_[k] = std::norm(out[k]) * scale;
    power_[0] /= 2; // DC and Nyquist have no mirror image
    if (n % 2 == 0)
        power_.back() /= 2;
}

std::size_t PowerSpectrum::binOf(double hz) const {
    const double k = std::round(hz / binHz_);
    return k <= 0 ? 0 : std::min(std::size_t(k), power_.size() - 1);
}

double PowerSpectrum::lobePower(std::size_t centre) const {
    const std::size_t lo = centre > kLobeBins ? centre - kLobeBins : 0;
    const std::size_t hi = std::min(centre + kLobeBins + 1, power_.size());
    double sum = 0;
    for (std::size_t k = lo; k < hi; ++k)
        sum += power_[k];
    return sum;
}

Peak PowerSpectrum::peakNear(double hz, double searchHz) const {
    const double span = std::max(searchHz, 2.0 * kLobeBins * binHz_);
    const std::size_t lo = std::max(binOf(hz - span), std::size_t(kLobeBins));
    const std::size_t hi = binOf(hz + span);
    Peak peak;
    if (lo > hi)
        return peak;
    peak.bin = std::size_t(std::max_element(power_.begin() + lo, power_.begin() + hi + 1) -
                           power_.begin());
    double moment = 0;
    const std::size_t from = peak.bin > kLobeBins ? peak.bin - kLobeBins : 0;
    const std::size_t to = std::min(peak.bin + kLobeBins + 1, power_.size());
    for (std::size_t k = from; k < to; ++k) {
        peak.power += power_[k];
        moment += double(k) * power_[k];
    }
    peak.hz = peak.power > 0 ? moment / peak.power * binHz_ : double(peak.bin) * binHz_;
    return peak;
}

std::size_t PowerSpectrum::bandBegin() const {
    return std::max(std::size_t(std::ceil(20.0 / binHz_)), std::size_t(kLobeBins + 1));
}

std::size_t PowerSpectrum::bandEnd() const {
    return std::min(std::size_t(std::floor(20000.0 / binHz_)) + 1, power_.size());
}

} // namespace qelvar::report

#include "report/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <tuple>

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

// An FFTW plan, destroyed under the planner lock.
struct RealPlan {
    fftw_plan plan = nullptr;
    RealPlan() = default;
    RealPlan(const RealPlan&) = delete;
    RealPlan& operator=(const RealPlan&) = delete;
    ~RealPlan() {
        std::lock_guard lock(fftwPlannerLock());
        if (plan)
            fftw_destroy_plan(plan);
    }
};

// What `make` gives for `key`, made once and kept (a dozen keys is all a
// run uses; each call site keeps its own). Dropped entries are destroyed
// after the cache lock is let go, since a plan's destructor takes the
// planner lock; entries still in use live on in their users.
template <class T, class Key, class Make> std::shared_ptr<const T> kept(const Key& key, Make make) {
    static std::mutex cacheLock;
    static std::map<Key, std::shared_ptr<const T>> cache;
    {
        std::lock_guard lock(cacheLock);
        if (auto it = cache.find(key); it != cache.end())
            return it->second;
    }
    std::shared_ptr<const T> made = make();
    std::map<Key, std::shared_ptr<const T>> dropped;
    std::lock_guard lock(cacheLock);
    if (cache.size() >= 16)
        dropped.swap(cache);
    return cache.emplace(key, std::move(made)).first->second;
}

// Plans for arrays aligned as the allocator leaves large ones (FFTW's
// SIMD alignment), and for any arrays at some cost.
std::shared_ptr<const RealPlan> realPlan(std::size_t n, bool inverse, bool aligned) {
    return kept<RealPlan>(std::tuple(n, inverse, aligned), [&] {
        auto p = std::make_shared<RealPlan>();
        std::vector<double> real(n);
        std::vector<std::complex<double>> cx(n / 2 + 1);
        auto* c = reinterpret_cast<fftw_complex*>(cx.data());
        const unsigned flags = FFTW_ESTIMATE | (aligned ? 0 : FFTW_UNALIGNED);
        std::lock_guard lock(fftwPlannerLock());
        if (aligned && (fftw_alignment_of(real.data()) || fftw_alignment_of(&c[0][0])))
            return p; // the allocator gave none here: the unaligned plan serves
        p->plan = inverse ? fftw_plan_dft_c2r_1d(int(n), c, real.data(), flags)
                          : fftw_plan_dft_r2c_1d(int(n), real.data(), c, flags);
        return p;
    });
}

// The plan for these arrays (held while it runs: a full cache drops it).
std::shared_ptr<const RealPlan> planFor(std::size_t n, bool inverse, double* real,
                                        std::complex<double>* cx) {
    if (fftw_alignment_of(real) == 0 && fftw_alignment_of(reinterpret_cast<double*>(cx)) == 0)
        if (auto p = realPlan(n, inverse, true); p->plan)
            return p;
    return realPlan(n, inverse, false);
}

struct Window {
    std::vector<double> w; // periodic, so lobe zeros fall on whole bins
    double power = 0;      // sum of w²
};

std::shared_ptr<const Window> windowOf(std::size_t n) {
    return kept<Window>(n, [&] {
        auto p = std::make_shared<Window>();
        p->w.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = 2 * std::numbers::pi * double(i) / double(n);
            double w = 0;
            for (int k = 0; k < 7; ++k)
                w += (k % 2 ? -1 : 1) * kCoeffs[k] * std::cos(k * t);
            p->w[i] = w;
            p->power += w * w;
        }
        return p;
    });
}

} // namespace

void realFft(double* in, std::complex<double>* out, std::size_t n) {
    fftw_execute_dft_r2c(planFor(n, false, in, out)->plan, in,
                         reinterpret_cast<fftw_complex*>(out));
}

void realInverse(std::complex<double>* in, double* out, std::size_t n) {
    fftw_execute_dft_c2r(planFor(n, true, out, in)->plan, reinterpret_cast<fftw_complex*>(in), out);
}

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
    const auto window = windowOf(n);
    std::vector<double> in(n);
    for (std::size_t i = 0; i < n; ++i)
        in[i] = x[i] * window->w[i];
    std::vector<std::complex<double>> out(n / 2 + 1);
    realFft(in.data(), out.data(), n);
    binHz_ = rate / double(n);
    power_.resize(out.size());
    const double scale = 2 / (double(n) * window->power);
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

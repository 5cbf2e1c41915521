#include "construct/noise/section.h"

#include "construct/noise/noise_frame.h"

#include <algorithm>

namespace qelvar::noise {

int Section::order() const {
    for (int k = 4; k > 0; --k)
        if (b[static_cast<std::size_t>(k)] != 0.0 || a[static_cast<std::size_t>(k)] != 0.0)
            return k;
    return 0;
}

namespace {

constexpr std::size_t maxSections = 20;

template <int Order> void push(DelayLine& d, double x, double y) {
    for (int k = Order - 1; k > 0; --k) {
        d.x[k] = d.x[k - 1];
        d.y[k] = d.y[k - 1];
    }
    if constexpr (Order > 0) {
        d.x[0] = x;
        d.y[0] = y;
    }
}

// One clamped output of the difference equation, terms summed in order.
template <int Order>
double step(const Section& c, DelayLine& d, double x, const EngineLimits& lim) {
    double v = c.b[0] * x;
    for (int k = 1; k <= Order; ++k)
        v = v + c.b[k] * d.x[k - 1];
    double y = c.a[0] * v;
    for (int k = 1; k <= Order; ++k)
        y = y - c.a[k] * d.y[k - 1];
    if (y > lim.hi)
        y = lim.hi;
    if (y < lim.lo)
        y = lim.lo;
    push<Order>(d, x, y);
    return y;
}

// Every section has the same shape in each filter, so one order serves
// all; sections of lower order carry zeros in the extra terms.
// Samples are taken one at a time through all sections: each section reads
// w(i) after the sections before it have finished with sample i, exactly
// as if every section made its own pass, but the independent recursions
// (sections, and the lanes of a stereo pair) overlap in the processor.
struct LaneState {
    double* w;
    double* acc; // null in series
    std::array<DelayLine, maxSections> lines{};
};

template <int Order, std::size_t Lanes>
void runFrom5(std::span<const Section> sec, std::array<LaneState, Lanes>& lanes, std::size_t last,
              const EngineLimits& lim) {
    const std::size_t ns = sec.size();
    for (std::size_t i = 5; i <= last; ++i) {
        for (auto& ln : lanes) {
            // Sample i stays in registers while it passes the sections.
            double x = ln.w[i];
            if (ln.acc) {
                double sum = ln.acc[i];
                for (std::size_t s = 0; s < ns; ++s)
                    sum += roundHalfEven(step<Order>(sec[s], ln.lines[s], x, lim));
                ln.acc[i] = sum;
            } else {
                for (std::size_t s = 0; s < ns; ++s)
                    x = roundHalfEven(step<Order>(sec[s], ln.lines[s], x, lim));
                ln.w[i] = x;
            }
        }
    }
}

void prime(LaneState& ln, std::size_t ns, std::size_t last, const EngineLimits& lim) {
    for (std::size_t i = 1; i <= std::min<std::size_t>(4, last); ++i) {
        for (std::size_t s = 0; s < ns; ++s) {
            double y = ln.w[i];
            push<4>(ln.lines[s], y, y);
            if (-lim.passLimit < y && y < lim.passLimit)
                ln.w[i] = roundHalfEven(y);
        }
    }
}

// A stereo pair in one vector register: each lane sees exactly the scalar
// operations (multiply, add, compare, the rounding shift), so the results
// are those of two scalar runs.
using Pair = double __attribute__((vector_size(16)));

struct PairLine {
    std::array<Pair, 4> x{};
    std::array<Pair, 4> y{};
};

inline Pair splat(double v) {
    return Pair{v, v};
}

inline Pair roundPair(Pair y) {
    // Inputs are clamped, far inside the trick's ±2^51; NaN stays NaN.
    const Pair shift = splat(6755399441055744.0);
    return (y + shift) - shift;
}

template <int Order> Pair stepPair(const Section& c, PairLine& d, Pair x, Pair lo, Pair hi) {
    Pair v = splat(c.b[0]) * x;
    for (int k = 1; k <= Order; ++k)
        v = v + splat(c.b[k]) * d.x[k - 1];
    Pair y = splat(c.a[0]) * v;
    for (int k = 1; k <= Order; ++k)
        y = y - splat(c.a[k]) * d.y[k - 1];
    y = y > hi ? hi : y;
    y = y < lo ? lo : y;
    for (int k = Order - 1; k > 0; --k) {
        d.x[k] = d.x[k - 1];
        d.y[k] = d.y[k - 1];
    }
    d.x[0] = x;
    d.y[0] = y;
    return y;
}

template <int Order>
void runPairFrom5(std::span<const Section> sec, std::array<LaneState, 2>& lanes, std::size_t last,
                  const EngineLimits& lim) {
    const std::size_t ns = sec.size();
    std::array<PairLine, maxSections> lines;
    for (std::size_t s = 0; s < ns; ++s)
        for (std::size_t k = 0; k < 4; ++k) {
            lines[s].x[k] = Pair{lanes[0].lines[s].x[k], lanes[1].lines[s].x[k]};
            lines[s].y[k] = Pair{lanes[0].lines[s].y[k], lanes[1].lines[s].y[k]};
        }
    const Pair lo = splat(lim.lo), hi = splat(lim.hi);
    double *wL = lanes[0].w, *wR = lanes[1].w, *aL = lanes[0].acc, *aR = lanes[1].acc;
    const bool parallel = aL && aR;
    for (std::size_t i = 5; i <= last; ++i) {
        Pair x{wL[i], wR[i]};
        if (parallel) {
            Pair sum{aL[i], aR[i]};
            for (std::size_t s = 0; s < ns; ++s)
                sum += roundPair(stepPair<Order>(sec[s], lines[s], x, lo, hi));
            aL[i] = sum[0];
            aR[i] = sum[1];
        } else {
            for (std::size_t s = 0; s < ns; ++s)
                x = roundPair(stepPair<Order>(sec[s], lines[s], x, lo, hi));
            wL[i] = x[0];
            wR[i] = x[1];
        }
    }
}

template <int Order, std::size_t Lanes>
void runOrder(std::span<const Section> sec, std::array<LaneState, Lanes>& lanes, std::size_t last,
              const EngineLimits& lim) {
    if constexpr (Lanes == 2) {
        // Both lanes must follow the same rule to share a register.
        if ((lanes[0].acc == nullptr) == (lanes[1].acc == nullptr))
            return runPairFrom5<Order>(sec, lanes, last, lim);
    }
    runFrom5<Order>(sec, lanes, last, lim);
}

// Usable length of a lane: Lw cut to its buffers.
std::size_t laneLength(const Lane& lane, std::size_t Lw) {
    if (lane.w.empty())
        return 0;
    Lw = std::min(Lw, lane.w.size() - 1);
    if (!lane.acc.empty())
        Lw = std::min(Lw, lane.acc.size() - 1);
    return Lw;
}

template <std::size_t Lanes>
void runLanes(std::span<const Section> sections, const std::array<Lane, Lanes>& in, std::size_t Lw,
              const EngineLimits& limits) {
    sections = sections.first(std::min(sections.size(), maxSections));
    for (const auto& lane : in)
        Lw = std::min(Lw, laneLength(lane, Lw));
    std::size_t tail = 10 * sections.size();
    if (sections.empty() || Lw <= tail)
        return;
    const std::size_t last = Lw - tail;

    std::array<LaneState, Lanes> lanes;
    for (std::size_t l = 0; l < Lanes; ++l) {
        lanes[l].w = in[l].w.data();
        lanes[l].acc = in[l].acc.empty() ? nullptr : in[l].acc.data();
        prime(lanes[l], sections.size(), last, limits);
    }
    int order = 0;
    for (const auto& s : sections)
        order = std::max(order, s.order());
    switch (order) {
    case 0:
    case 1:
        runOrder<1>(sections, lanes, last, limits);
        break;
    case 2:
        runOrder<2>(sections, lanes, last, limits);
        break;
    default:
        runOrder<4>(sections, lanes, last, limits);
        break;
    }
}

} // namespace

void runSections(std::span<const Section> sections, std::span<double> w, std::size_t Lw,
                 const EngineLimits& limits, std::span<double> acc) {
    runLanes<1>(sections, {Lane{w, acc}}, Lw, limits);
}

void runSections(std::span<const Section> sections, const Lane& left, const Lane& right,
                 std::size_t Lw, const EngineLimits& limits) {
    runLanes<2>(sections, {left, right}, Lw, limits);
}

} // namespace qelvar::noise

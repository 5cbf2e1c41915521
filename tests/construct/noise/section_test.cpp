#include "construct/noise/noise_filters.h"
#include "construct/noise/section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace qelvar::noise;

namespace {

constexpr EngineLimits wide{32766.0, -32766.0, 32766.0};

Section firstOrder(double b0, double a1) {
    Section s;
    s.b[0] = b0;
    s.a[1] = a1;
    return s;
}

// w(1..n) = the given head, then `fill` up to n.
std::vector<double> buffer(std::size_t n, std::vector<double> head, double fill) {
    std::vector<double> w(n + 1, fill);
    w[0] = 0.0;
    for (std::size_t i = 0; i < head.size(); ++i)
        w[i + 1] = head[i];
    return w;
}

} // namespace

TEST(SectionEngine, SeriesPassesTheFirstFourSamplesAndFiltersFromTheFifth) {
    // y(i) = 0.5 x(i) + 0.5 y(i−1). Samples 1..4 are only rounded (3.5 and
    // 4.5 to the even neighbour), but the section's state is the unrounded
    // 4.5: y(5) = 5 + 2.25 = 7.25 → 7, y(6) = 5 + 3.625 = 8.625 → 9.
    auto w = buffer(30, {1.4, 2.6, 3.5, 4.5}, 10.0);
    for (std::size_t i = 21; i <= 30; ++i)
        w[i] = 7.3;
    Section s = firstOrder(0.5, -0.5);
    runSections(std::span(&s, 1), w, 30, wide);
    EXPECT_EQ(w[1], 1.0);
    EXPECT_EQ(w[2], 3.0);
    EXPECT_EQ(w[3], 4.0);
    EXPECT_EQ(w[4], 4.0);
    EXPECT_EQ(w[5], 7.0);
    EXPECT_EQ(w[6], 9.0);
    // Samples 1 .. Lw − 10 · NS are filtered, the rest stay as they were.
    EXPECT_EQ(w[20], 10.0);
    EXPECT_EQ(w[21], 7.3);
    EXPECT_EQ(w[30], 7.3);
}

TEST(SectionEngine, ParallelSectionsSeeTheRoundedFirstSamples) {
    // Section 0 passes x; section 1 is y = 0.5 x + 0.5 y(i−1). Section 0
    // rounds w(1..4) in place, so section 1 starts from y(4) = 4, not 4.5:
    // acc(5) = 10 + round(5 + 2) = 17, acc(6) = 10 + round(5 + 3.5) = 18.
    auto w = buffer(40, {1.4, 2.6, 3.5, 4.5}, 10.0);
    std::vector<double> acc(41, 0.0);
    std::array<Section, 2> s{firstOrder(1.0, 0.0), firstOrder(0.5, -0.5)};
    runSections(s, w, 40, wide, acc);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(acc[i], 0.0) << i;
    EXPECT_EQ(acc[5], 17.0);
    EXPECT_EQ(acc[6], 18.0);
    EXPECT_EQ(w[5], 10.0); // the input stays in parallel mode
    EXPECT_EQ(acc[20], 20.0);
    EXPECT_EQ(acc[21], 0.0); // Lw − 10 · NS = 20
}

TEST(SectionEngine, SeriesFeedsEachSectionTheOneBefore) {
    // Two halving sections in series: 100 → 50 → 25 from sample 5 on.
    auto w = buffer(40, {}, 100.0);
    std::array<Section, 2> s{firstOrder(0.5, 0.0), firstOrder(0.5, 0.0)};
    runSections(s, w, 40, wide);
    EXPECT_EQ(w[4], 100.0);
    EXPECT_EQ(w[5], 25.0);
    EXPECT_EQ(w[20], 25.0);
    EXPECT_EQ(w[21], 100.0);
}

TEST(SectionEngine, ClampsTheOutputAndItsState) {
    Section gain4 = subSections()[0];
    auto w = buffer(20000, {}, 20000.0);
    runSections(std::span(&gain4, 1), w, 20000, wide);
    EXPECT_EQ(w[15000], 32766.0);
    auto v = buffer(20000, {}, -20000.0);
    runSections(std::span(&gain4, 1), v, 20000, wide);
    EXPECT_EQ(v[15000], -32766.0);
}

TEST(SectionEngine, ShortOrEmptyBuffersAreLeftAlone) {
    std::vector<double> w{0.0, 1.5, 2.5};
    Section s = firstOrder(2.0, 0.0);
    runSections(std::span(&s, 1), w, 1000, wide); // Lw cut to 2, below 10
    EXPECT_EQ(w[1], 1.5);
    std::vector<double> none;
    runSections(std::span(&s, 1), none, 10, wide);
}

TEST(NoiseSections, ConstantSettlesAtFourTimesThroughOneSubSection) {
    // Low-pass with DC gain (b0 + b1 + b2) / (1 + a1 + a2) = 4.
    for (double c : {1000.0, -2500.0, 8000.0}) {
        Section lp = subSections()[0];
        auto w = buffer(44100, {}, c);
        runSections(std::span(&lp, 1), w, 44100, wide);
        for (std::size_t i = 5000; i <= 44090; i += 997)
            ASSERT_EQ(w[i], 4.0 * c) << c << " at " << i;
    }
}

TEST(NoiseSections, ConstantDecaysToZeroThroughTheHighPasses) {
    for (Section hp : {iecSections()[1], pinkHighPass(), ulHighPass()}) {
        auto w = buffer(44100, {}, 3000.0);
        std::vector<double> acc(44101, 0.0);
        runSections(std::span(&hp, 1), w, 44100, {32768.0, -32768.0, 32767.0}, acc);
        EXPECT_NE(acc[100], 0.0);
        for (std::size_t i = 20000; i <= 44090; ++i)
            ASSERT_EQ(acc[i], 0.0) << i;
    }
}

TEST(SectionEngine, StereoPairEqualsTwoSingleRuns) {
    // The pair path shares one vector register between the lanes; each lane
    // must come out bit for bit as if run alone, in both rules.
    const std::size_t n = 5000;
    auto fill = [&](double f) {
        std::vector<double> w(n + 1);
        for (std::size_t i = 1; i <= n; ++i)
            w[i] = 30000.0 * std::sin(f * static_cast<double>(i)) + 0.25;
        return w;
    };
    auto bank = pinkSections();
    auto iec = iecSections();
    const EngineLimits lim{32768.0, -32767.0, 32767.0};
    for (bool parallel : {true, false}) {
        auto l1 = fill(0.37), r1 = fill(1.91), l2 = l1, r2 = r1;
        std::vector<double> al1(n + 1, 0.0), ar1(n + 1, 0.0), al2(n + 1, 0.0), ar2(n + 1, 0.0);
        std::span<const Section> secs = parallel ? std::span<const Section>(bank) : iec;
        runSections(secs, l1, n, lim, parallel ? std::span(al1) : std::span<double>());
        runSections(secs, r1, n, lim, parallel ? std::span(ar1) : std::span<double>());
        runSections(secs, Lane{l2, parallel ? std::span(al2) : std::span<double>()},
                    Lane{r2, parallel ? std::span(ar2) : std::span<double>()}, n, lim);
        EXPECT_EQ(l1, l2);
        EXPECT_EQ(r1, r2);
        EXPECT_EQ(al1, al2);
        EXPECT_EQ(ar1, ar2);
    }
}

#include "construct/noise/noise_run.h"

#include <gtest/gtest.h>

#include <set>

using namespace qelvar::noise;

namespace {

std::uint64_t frozen() {
    return 1234567;
}

// Hands out a fixed list of values, then repeats the last one.
class ListSource : public UniformSource {
  public:
    explicit ListSource(std::vector<float> v) : v_(std::move(v)) {}
    float u() override { return v_[std::min(next_++, v_.size() - 1)]; }
    void reseedFromClock() override { ++reseeds; }
    int reseeds = 0;

  private:
    std::vector<float> v_;
    std::size_t next_ = 0;
};

} // namespace

TEST(UniformSource, DrawsLieInTheUnitInterval) {
    ClockedUniformSource rng(7, &frozen);
    double sum = 0;
    for (int i = 0; i < 100000; ++i) {
        float u = rng.u();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        sum += u;
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.01);
}

TEST(UniformSource, ProgramSourcesDiffer) {
    auto a = ClockedUniformSource::seededFromClock();
    auto b = ClockedUniformSource::seededFromClock();
    EXPECT_NE(a.u(), b.u());
}

TEST(UniformSource, FixedSeedRepeats) {
    ClockedUniformSource a(42, &frozen), b(42, &frozen);
    for (int i = 0; i < 100; ++i) {
        a.reseedFromClock();
        b.reseedFromClock();
        ASSERT_EQ(a.u(), b.u());
    }
}

TEST(UniformSource, ReseedWithAnUnchangedClockDoesNotRepeat) {
    ClockedUniformSource rng(42, &frozen);
    std::set<float> seen;
    for (int i = 0; i < 1000; ++i) {
        rng.reseedFromClock();
        seen.insert(rng.u());
    }
    // A reseed that only set the state from the clock would give one value.
    EXPECT_GT(seen.size(), 990u);
}

TEST(RandomTable, InitializeReseedsAndFillsAll102Entries) {
    std::vector<float> v;
    for (int i = 0; i < 102; ++i)
        v.push_back(static_cast<float>(i) / 128.0f);
    ListSource src(v);
    NoiseState st;
    initialize(st, src);
    EXPECT_EQ(src.reseeds, 1);
    EXPECT_EQ(st.randtable[0], 0.0);
    EXPECT_EQ(st.randtable[101], 101.0 / 128.0);
}

TEST(RandomTable, NewrandomNeverReturnsEntry101) {
    std::vector<float> v;
    for (int i = 0; i < 102; ++i)
        v.push_back(static_cast<float>(i) / 128.0f);
    const float largest = 0.99999994f; // the largest float below 1
    v.push_back(largest);              // r
    v.push_back(0.5f);                 // refill of the drawn entry
    v.push_back(largest);              // r again
    ListSource src(v);
    NoiseState st;
    initialize(st, src);
    // floor(101 · 0.99999994) = 100: entry 100, not 101.
    EXPECT_EQ(newrandom(st, src), 100.0 / 128.0);
    EXPECT_EQ(st.randtable[100], 0.5);
    EXPECT_EQ(newrandom(st, src), 0.5);
    EXPECT_EQ(src.reseeds, 3);
}

TEST(RandomTable, DrawPicksEntryFloorOf101R) {
    std::vector<float> v;
    for (int i = 0; i < 102; ++i)
        v.push_back(static_cast<float>(i) / 128.0f);
    v.push_back(0.5f); // 50.5 → entry 50
    ListSource src(v);
    NoiseState st;
    initialize(st, src);
    EXPECT_EQ(newrandom(st, src), 50.0 / 128.0);
}

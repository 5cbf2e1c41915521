// The six files of a fixed-seed run.
#include "construct/noise/noise_run.h"
#include "noise_designs.h"
#include "noise_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace qelvar::noise;
using namespace noisetest;
using qelvar::wav::FileImage;

namespace {

class NoiseRunFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        TempDir dir;
        // An older, longer file must be replaced by one of the new size.
        writeText(dir.path / "whnoise.wav", std::string(1000000, 'x'));
        FileImage image(3000000);
        ClockedUniformSource rng(20240601, frozen);
        NoiseRun run;
        ok_ = run.run(image, dir.path.string(), rng).ok;
        for (std::size_t f = 0; f < 6; ++f)
            files_[f] = readBytes(dir.path / std::string(noiseFileNames[f]));
        // The run's white noise before it is encoded, drawn again from the
        // same seed: the input of the filters.
        ClockedUniformSource again(20240601, frozen);
        NoiseState st;
        FileImage scratch(3000000);
        noisedatacalc(st, again, scratch);
        white_ = {st.noiseL, st.noiseR};
    }
    static std::uint64_t frozen() { return 99; }
    static inline bool ok_ = false;
    static inline std::array<std::vector<std::uint8_t>, 6> files_;
    static inline std::array<std::vector<double>, 2> white_;
};

// The filters worked out sample for sample with their designed coefficients
// (noise_designs.h), one section at a time over the whole buffer, from the
// section's difference equation
//   y(i) = b0·x(i) + b1·x(i−1) + b2·x(i−2) − a1·y(i−1) − a2·y(i−2)
// held to lo..hi and rounded half to even. Samples 1..4 only fill the
// delay line (rounded in place within ±pass); the last 10 samples per
// section are not run. In series the output replaces the input, in
// parallel it is added to an accumulator.
struct Limits {
    double pass, lo, hi;
};
void sectionPass(const Section& c, std::vector<double>& w, std::size_t sections, Limits lim,
                 std::vector<double>* acc = nullptr) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t i = 1; i <= w.size() - 1 - 10 * sections; ++i) {
        const double x = w[i];
        double y = x;
        if (i <= 4) {
            if (-lim.pass < x && x < lim.pass)
                w[i] = std::nearbyint(x);
        } else {
            y = c.b[0] * x + c.b[1] * x1 + c.b[2] * x2 - c.a[1] * y1 - c.a[2] * y2;
            y = std::clamp(y, lim.lo, lim.hi);
            if (acc)
                (*acc)[i] += std::nearbyint(y);
            else
                w[i] = std::nearbyint(y);
        }
        std::tie(x2, x1, y2, y1) = std::tuple(x1, x, y1, y);
    }
}

// A file's 16-bit code of v: v, or v + 65535 below 0, held to lo..hi.
unsigned codeOf(double v, double lo = 0, double hi = 65535) {
    return static_cast<unsigned>(std::nearbyint(std::clamp(v < 0 ? v + 65535 : v, lo, hi)));
}

} // namespace

TEST_F(NoiseRunFiles, WhiteFileSizeAndHeader) {
    EXPECT_TRUE(ok_);
    const auto& b = files_[0];
    ASSERT_EQ(b.size(), 705644u);
    EXPECT_EQ(std::tuple(u32(b, 4), u32(b, 28), b[32], u32(b, 40)),
              std::tuple(705636u, 176400u, 4, 705600u));
    // The draws of this seed, pinned whole (FNV-1a of the file): the filters
    // below start from them, so a changed draw in either channel shows here.
    std::uint64_t h = 14695981039346656037u;
    for (std::uint8_t c : b)
        h = (h ^ c) * 1099511628211u;
    EXPECT_EQ(h, 835117724815726492u);
}

TEST_F(NoiseRunFiles, BandNoiseHasEqualChannels) {
    for (std::size_t f : {1u, 2u}) {
        const auto& b = files_[f];
        ASSERT_EQ(b.size(), 176444u);
        std::size_t frames = u32(b, 40) / 4;
        EXPECT_GT(frames, 25000u);
        for (std::size_t n = 1; n <= frames; ++n)
            ASSERT_EQ(code(b, n, 0), code(b, n, 1)) << noiseFileNames[f] << " frame " << n;
        EXPECT_NE(code(b, 300, 0), 0u);
    }
}

TEST_F(NoiseRunFiles, UlCodesAvoidTheExtremes) {
    const auto& b = files_[4];
    ASSERT_EQ(b.size(), 705644u);
    std::size_t ones = 0;
    for (std::size_t n = 1; n <= 176400; ++n)
        for (int ch = 0; ch < 2; ++ch) {
            ASSERT_TRUE(code(b, n, ch) >= 1 && code(b, n, ch) <= 65534) << n;
            ones += code(b, n, ch) == 1;
        }
    EXPECT_GE(ones, 20u); // zero samples (the silent tail at least) are stored as 1
}

// IEC and SUB: the first second of the left white noise through two
// sections in series, held to ±32766. The kept stretch starts at the first
// quiet sample (|v| < 100) after the settling D and ends at the last quiet
// one before the margin M; between the fades every frame is the filtered
// sample, in both channels.
TEST_F(NoiseRunFiles, BandFilesFollowTheirDifferenceEquations) {
    struct Band {
        std::size_t file;
        std::array<Section, 2> sections;
        int D, M;
    };
    for (const Band& b : {Band{1, iecDesign(), 1000, 1000}, Band{2, subDesign(), 6000, 4000}}) {
        SCOPED_TRACE(noiseFileNames[b.file]);
        std::vector<double> w(white_[0].begin(), white_[0].begin() + 44101);
        for (const Section& s : b.sections)
            sectionPass(s, w, b.sections.size(), {32766, -32766, 32766});
        auto quiet = [&](int i) { return std::fabs(w[static_cast<std::size_t>(b.D + i)]) < 100; };
        int S = 1, E = 44100 - b.D - b.M - 1;
        while (!quiet(S))
            ++S;
        while (!quiet(E))
            --E;
        const auto& f = files_[b.file];
        ASSERT_EQ(u32(f, 40), static_cast<unsigned>(4 * (E - S) - 44));
        for (int i = 202; i <= E - S - 201; ++i)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(code(f, static_cast<std::size_t>(i), ch),
                          codeOf(w[static_cast<std::size_t>(b.D + S + i - 1)]))
                    << "frame " << i << " channel " << ch;
    }
}

// Pink, UL and CSA: each channel through the seven-term bank in parallel
// (held to -32767..32767) and doubled, then through the file's high-pass in
// parallel (held to -32768..32767) and times 4. The first 6710 frames are
// dropped; the last 6710 places keep the frames that were there.
TEST_F(NoiseRunFiles, PinkFilesFollowTheirDifferenceEquations) {
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<double> w = white_[static_cast<std::size_t>(ch)];
        std::vector<double> pink(w.size(), 0.0);
        for (const Section& s : pinkBankDesign())
            sectionPass(s, w, 7, {32768, -32767, 32767}, &pink);
        for (double& v : pink)
            v *= 2;
        struct File {
            std::size_t file;
            Section highPass;
            double lo, hi;
        };
        for (const File& p :
             {File{3, pinkHighPassDesign(), 0, 65535}, File{4, ulHighPassDesign(), 1, 65534},
              File{5, pinkHighPassDesign(), 0, 65535}}) {
            SCOPED_TRACE(noiseFileNames[p.file]);
            std::vector<double> in = pink, out(pink.size(), 0.0);
            sectionPass(p.highPass, in, 1, {32768, -32768, 32767}, &out);
            const auto& f = files_[p.file];
            ASSERT_EQ(u32(f, 40), 590516u);
            for (std::size_t n = 1; n <= 176400; ++n)
                ASSERT_EQ(code(f, n, ch), codeOf(4 * out[n <= 169690 ? n + 6710 : n], p.lo, p.hi))
                    << "frame " << n << " channel " << ch;
        }
    }
}

#include "panel/tone.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;
using namespace qelvar::panel;
using Bytes = std::vector<unsigned char>;

namespace {

Memory mem(int f, int rate, const char* mode, int bits, double g = 0.7) {
    return {f, rate, mode, static_cast<std::int16_t>(bits), g, g};
}

Bytes bytes(const Tone& t, std::size_t from, std::size_t to) {
    auto b = t.image.fileBytes(to);
    return {b.begin() + static_cast<std::ptrdiff_t>(from), b.end()};
}

} // namespace

TEST(Tone, HeadersAndDataLengths) {
    Tone t;
    t.compute(mem(1000, 44100, "ST L+R", 16));
    const char head[] = "RIFF\xD4\0\0\0WAVEfmt \x10\0\0\0\1\0\2\0\x44\xAC\0\0\x10\xB1\x02\0\4\0"
                        "\x10\0data\xB0\0\0"; // and the literal's NUL
    EXPECT_EQ(bytes(t, 0, 44), Bytes(head, head + 44));
    t.compute(mem(1000, 32000, "MONO", 8)); // byte rate 32000, 1 byte a frame
    EXPECT_EQ(bytes(t, 22, 34), (Bytes{1, 0, 0x00, 0x7D, 0, 0, 0x00, 0x7D, 0, 0, 1, 0}));
    using Case = std::tuple<int, int, const char*, int, std::int64_t>;
    for (auto [f, rate, mode, bits, L] :
         {Case{1000, 44100, "ST L+R", 16, 176},  // 176.4 → 176
          Case{1001, 44100, "ST L+R", 16, 1760}, // 10 cycles: 1762.2 → 1762 → 1760
          Case{1000, 44100, "MONO", 24, 132},    // 132.3 → 132
          Case{1000, 44100, "ST L+R", 24, 270},  // 264.6 → 265 → 270
          Case{10, 96000, "ST L-R", 24, 57600}}) {
        t.compute(mem(f, rate, mode, bits));
        EXPECT_EQ(t.L, L) << f << " " << mode;
    }
}

TEST(Tone, FirstFramesOfInvertedAndLeftOnly) {
    Tone t;
    t.compute(mem(1000, 44100, "ST L-R", 16, 1.0));
    // right = round(32767.5 × sin 3.141519265359) = round(2.4) = 2
    EXPECT_EQ(bytes(t, 44, 48), (Bytes{0, 0, 2, 0}));
    t.compute(mem(440, 44100, "ST L", 8));
    ASSERT_GT(t.F, 10);
    for (std::int64_t k = 0; k < t.F; ++k)
        EXPECT_EQ(t.image[static_cast<std::size_t>(44 + 2 * k + 2)], 127) << k;
}

// Every frame of the four stereo modes at each width, worked from the sine
// and the channel's own gain (unequal gains, so a channel built at the
// other's gain shows). A silent channel holds the width's zero level; the
// right of L-R is the sine half a turn on. 1000 Hz: one turn in the file.
TEST(Tone, EveryFrameOfTheStereoModes) {
    auto code = [](int bits, double s, double g) {
        using namespace qelvar::wav;
        if (bits == 8)
            return Bytes{encode8(s, g)};
        if (bits == 16) {
            const auto c = encode16(s, g);
            return Bytes(c.begin(), c.end());
        }
        const auto c = encode24(s, g);
        return Bytes(c.begin(), c.end());
    };
    Tone t;
    for (int bits : {8, 16, 24})
        for (std::string mode : {"ST L", "ST R", "ST L+R", "ST L-R"}) {
            SCOPED_TRACE(mode + " " + std::to_string(bits));
            const double gL = 0.9, gR = 0.35;
            t.compute({1000, 44100, mode, static_cast<std::int16_t>(bits), gL, gR});
            const std::int64_t frames = t.L / (2 * (bits / 8));
            const double step = kFullTurn / static_cast<double>(frames); // phase a frame
            Bytes want;
            for (std::int64_t k = 0; k < frames; ++k) {
                const double theta = static_cast<double>(k) * step;
                const Bytes l = mode == "ST R" ? code(bits, 0, 0) : code(bits, std::sin(theta), gL);
                const Bytes r = mode == "ST L"     ? code(bits, 0, 0)
                                : mode == "ST L-R" ? code(bits, std::sin(kHalfTurn + theta), gR)
                                                   : code(bits, std::sin(theta), gR);
                want.insert(want.end(), l.begin(), l.end());
                want.insert(want.end(), r.begin(), r.end());
            }
            EXPECT_EQ(bytes(t, 44, 44 + static_cast<std::size_t>(t.L)), want);
        }
}

TEST(Tone, WriteToFileSizesAndTheOnceOnlyFiles) {
    qelvar::test::TempDir d;
    using qelvar::test::readBytes;
    Tone t;
    t.compute(mem(10, 96000, "ST L-R", 24));
    ASSERT_TRUE(t.writetofile(d.path.string()));
    EXPECT_EQ(fs::file_size(d.path / "pemtest.wav"), 57644u);
    const Bytes stop = readBytes(d.path / "stop.wav");
    ASSERT_EQ(stop.size(), 57644u);
    EXPECT_EQ(Bytes(stop.begin(), stop.begin() + 44), bytes(t, 0, 44));
    EXPECT_EQ(std::count(stop.begin() + 44, stop.end(), 0), 57600);
    EXPECT_EQ(readBytes(d.path / "wavcself0.wav"), stop);
    // A smaller build after a larger one: only L + 44 bytes are written.
    t.compute(mem(1000, 44100, "ST L+R", 16));
    ASSERT_TRUE(t.writetofile(d.path.string()));
    EXPECT_EQ(fs::file_size(d.path / "pemtest.wav"), 220u);
}

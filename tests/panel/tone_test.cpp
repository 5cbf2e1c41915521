#include "panel/tone.h"

#include "common/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace qelvar::panel;

namespace {

Memory mem(int f, int rate, const char* mode, int bits, double g = 0.7) {
    Memory m;
    m.frequency = f;
    m.rate = rate;
    m.mode = mode;
    m.bits = static_cast<std::int16_t>(bits);
    m.gainL = m.gainR = g;
    return m;
}

std::vector<std::uint8_t> header(const Tone& t) {
    auto b = t.image.fileBytes(44);
    return {b.begin(), b.end()};
}

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "qelvar-tone-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

} // namespace

TEST(Tone, HeaderOf1000HzStereo16Bit) {
    Tone t;
    t.compute(mem(1000, 44100, "ST L+R", 16));
    EXPECT_EQ(t.L, 176);
    const std::vector<std::uint8_t> expected = {
        'R', 'I', 'F', 'F', 0xD4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,
        4, 0, 16, 0, 'd', 'a', 't', 'a', 0xB0, 0, 0, 0};
    EXPECT_EQ(header(t), expected);
}

TEST(Tone, ByteRateAndBlockAlignOfOtherFormats) {
    Tone t;
    t.compute(mem(1000, 96000, "MONO", 24));
    auto h = header(t);
    EXPECT_EQ((std::vector<std::uint8_t>(h.begin() + 28, h.begin() + 32)),
              (std::vector<std::uint8_t>{0x00, 0x65, 0x04, 0x00}));
    EXPECT_EQ(h[32], 3);
    EXPECT_EQ(h[22], 1);
    t.compute(mem(1000, 32000, "MONO", 8));
    h = header(t);
    EXPECT_EQ((std::vector<std::uint8_t>(h.begin() + 28, h.begin() + 32)),
              (std::vector<std::uint8_t>{0x00, 0x7D, 0x00, 0x00}));
    EXPECT_EQ(h[32], 1);
    t.compute(mem(1000, 88000, "ST L", 16));
    h = header(t);
    EXPECT_EQ((std::vector<std::uint8_t>(h.begin() + 24, h.begin() + 28)),
              (std::vector<std::uint8_t>{192, 87, 1, 0}));
}

TEST(Tone, DataLengths) {
    struct Case {
        int f, rate;
        const char* mode;
        int bits;
        std::int64_t L;
        int n;
    };
    const Case cases[] = {
        {1000, 44100, "ST L+R", 16, 176, 1},   // 176.4 → 176
        {1001, 44100, "ST L+R", 16, 1760, 10}, // 1762.2 → 1762 → 1760
        {1000, 44100, "MONO", 24, 132, 1},     // 132.3 → 132
        {1000, 44100, "ST L+R", 24, 270, 1},   // 264.6 → 265 → 270
        {10, 96000, "ST L-R", 24, 57600, 1},
        {48000, 32000, "MONO", 8, 4, 10},      // 6.67 → 7 → 4
    };
    for (const Case& c : cases) {
        Tone t;
        t.compute(mem(c.f, c.rate, c.mode, c.bits));
        EXPECT_EQ(t.L, c.L) << c.f << " " << c.mode;
        EXPECT_EQ(t.n, c.n);
        EXPECT_EQ(t.L % (t.C * t.B), 0);
    }
}

TEST(Tone, InvertedChannelUsesTheSystemsHalfTurn) {
    Tone t;
    t.compute(mem(1000, 44100, "ST L-R", 16, 1.0));
    // right = round(32767.5 × sin 3.141519265359) = round(2.4) = 2
    EXPECT_EQ(t.image[45], 0);
    EXPECT_EQ(t.image[46], 0);
    EXPECT_EQ(t.image[47], 2);
    EXPECT_EQ(t.image[48], 0);
}

TEST(Tone, LeftOnlyAt8BitsLeavesTheRightAtMidScale) {
    Tone t;
    t.compute(mem(440, 44100, "ST L", 8));
    ASSERT_GT(t.F, 10);
    for (std::int64_t k = 0; k < t.F; ++k)
        EXPECT_EQ(t.image[static_cast<std::size_t>(44 + 2 * k + 2)], 127) << k;
    EXPECT_EQ(t.image[45], 127); // θ = 0
}

TEST(Tone, EveryFileStartsAtTheZeroLevel) {
    for (const char* mode : {"MONO", "ST L", "ST L+R", "ST L-R"})
        for (int bits : {16, 24}) {
            Tone t;
            t.compute(mem(997, 48000, mode, bits));
            for (int i = 0; i < bits / 8; ++i)
                EXPECT_EQ(t.image[static_cast<std::size_t>(45 + i)], 0) << mode << bits;
        }
}

TEST(Tone, PeakStaysBelowFullScaleAtZeroDecibels) {
    Tone t;
    t.compute(mem(1000, 44100, "MONO", 16, 1.0));
    int maxPos = 0, minNeg = 0;
    for (std::int64_t k = 0; k < t.F; ++k) {
        int v = static_cast<std::int16_t>(t.image[static_cast<std::size_t>(45 + 2 * k)] |
                                          (t.image[static_cast<std::size_t>(46 + 2 * k)] << 8));
        maxPos = std::max(maxPos, v);
        minNeg = std::min(minNeg, v);
    }
    EXPECT_LE(maxPos, 32767);
    EXPECT_GE(minNeg, -32768);
    EXPECT_GT(maxPos, 32700);
}

TEST(Tone, WriteToFileSizesAndTheOnceOnlyFiles) {
    TempDir d;
    const std::string dir = d.path.string();
    Tone t;
    t.compute(mem(10, 96000, "ST L-R", 24));
    ASSERT_TRUE(t.writetofile(dir));
    EXPECT_EQ(fs::file_size(d.path / "pemtest.wav"), 57644u);
    EXPECT_EQ(fs::file_size(d.path / "stop.wav"), 57644u);
    auto stop = *qelvar::readWholeFile((d.path / "stop.wav").string());
    auto pem = *qelvar::readWholeFile((d.path / "pemtest.wav").string());
    EXPECT_EQ(stop.substr(0, 44), pem.substr(0, 44));
    EXPECT_EQ(stop.find_first_not_of('\0', 44), std::string::npos);
    EXPECT_EQ(*qelvar::readWholeFile((d.path / "wavcself0.wav").string()), stop);

    t.compute(mem(1000, 44100, "ST L+R", 16));
    ASSERT_TRUE(t.writetofile(dir));
    EXPECT_EQ(fs::file_size(d.path / "pemtest.wav"), 220u);
    EXPECT_EQ(fs::file_size(d.path / "stop.wav"), 57644u); // written once a run
    EXPECT_EQ(fs::file_size(d.path / "wavcself0.wav"), 57644u);
}

TEST(Tone, HandEditedValuesStayInsideTheBuffer) {
    for (int f : {1, -5, 9}) {
        Tone t;
        t.compute(mem(f, 96000, "ST L-R", 24));
        EXPECT_LE(t.L + 44, 60000);
        EXPECT_GT(t.L, 0);
    }
    Tone t;
    t.compute(mem(1000, 44100, "BOGUS", 12));
    EXPECT_EQ(t.B, 2);
}

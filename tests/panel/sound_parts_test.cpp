// The pure parts of the sound backend: WAV reading, the capture file, the
// round-trip finder and the loop arithmetic. Expected values are worked by
// hand from the file layouts.
#include "panel/sound/aligner.h"
#include "panel/sound/capture_file.h"
#include "panel/sound/lag_finder.h"
#include "panel/sound/wav_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace qelvar::sound;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

void le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A PCM WAV whose data chunk declares `declared` bytes of `data`.
Bytes wavBytes(int channels, int rate, int bits, const Bytes& data, std::uint32_t declared) {
    Bytes b = {'R', 'I', 'F', 'F'};
    le(b, 36 + static_cast<std::uint32_t>(data.size()), 4);
    for (char c : std::string("WAVEfmt "))
        b.push_back(static_cast<unsigned char>(c));
    le(b, 16, 4);
    le(b, 1, 2);
    le(b, static_cast<std::uint32_t>(channels), 2);
    le(b, static_cast<std::uint32_t>(rate), 4);
    const int align = channels * bits / 8;
    le(b, static_cast<std::uint32_t>(rate * align), 4);
    le(b, static_cast<std::uint32_t>(align), 2);
    le(b, static_cast<std::uint32_t>(bits), 2);
    for (char c : std::string("data"))
        b.push_back(static_cast<unsigned char>(c));
    le(b, declared, 4);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

class SoundFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qelvar-sound-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string put(const std::string& name, const Bytes& b) {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return p;
    }
    fs::path dir;
};

} // namespace

TEST_F(SoundFiles, ReadsOnlyTheDeclaredData) {
    // Two stereo frames (1, -2) and (300, -400), then bytes the data chunk
    // does not declare.
    Bytes data = {0x01, 0x00, 0xFE, 0xFF, 0x2C, 0x01, 0x70, 0xFE, 0x11, 0x22, 0x33, 0x44};
    const auto clip = readClip(put("a.wav", wavBytes(2, 44100, 16, data, 8)));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->samples, (std::vector<std::int16_t>{1, -2, 300, -400}));
}

TEST_F(SoundFiles, WidensEightAndTwentyFourBitAndCopiesMono) {
    // 8-bit is unsigned around 128: 0x80 is 0, 0xFF is 127 × 256, 0x00 is
    // -128 × 256.
    const auto c8 = readClip(put("b8.wav", wavBytes(1, 44100, 8, {0x80, 0xFF, 0x00}, 3)));
    ASSERT_TRUE(c8);
    EXPECT_EQ(c8->samples, (std::vector<std::int16_t>{0, 0, 32512, 32512, -32768, -32768}));
    // 24-bit 0x123456 keeps its top 16 bits 0x1234 = 4660; 0xFEDCBA is
    // -0x012346, top 16 bits 0xFEDC = -292.
    const auto c24 =
        readClip(put("b24.wav", wavBytes(2, 44100, 24, {0x56, 0x34, 0x12, 0xBA, 0xDC, 0xFE}, 6)));
    ASSERT_TRUE(c24);
    EXPECT_EQ(c24->samples, (std::vector<std::int16_t>{4660, -292}));
}

TEST_F(SoundFiles, ResamplesOtherRatesAcrossTheLoopSeam) {
    // 8 mono frames at 88200 become 4 at 44100: every second frame.
    Bytes data;
    for (int v : {0, 100, 200, 300, 400, 500, 600, 700})
        le(data, static_cast<std::uint32_t>(v), 2);
    const auto c = readClip(put("r.wav", wavBytes(1, 88200, 16, data, 16)));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->samples, (std::vector<std::int16_t>{0, 0, 200, 200, 400, 400, 600, 600}));
    // 2 frames at 22050 become 4; the last one lies halfway back to the
    // first frame, since the sound loops.
    Clip two{{0, 0, 1000, -1000}};
    EXPECT_EQ(resampleLoop(two, 22050, 44100).samples,
              (std::vector<std::int16_t>{0, 0, 500, -500, 1000, -1000, 500, -500}));
}

TEST_F(SoundFiles, TinyRatesAreRefusedAndLowRatesResampled) {
    // At 1 Hz every frame would become 44100 of them: refused.
    EXPECT_FALSE(readClip(put("slow.wav", wavBytes(1, 1, 8, Bytes(1801, 0x90), 1801))));
    EXPECT_FALSE(readClip(put("999.wav", wavBytes(1, 999, 8, Bytes(100, 0x90), 100))));
    // 8 kHz is unusual but a sound: 100 frames become 100 × 44100 / 8000.
    // 0x90 is 16 above the middle of 8 bits: 16 × 256 = 4096.
    const auto c = readClip(put("8k.wav", wavBytes(1, 8000, 8, Bytes(100, 0x90), 100)));
    ASSERT_TRUE(c);
    EXPECT_NEAR(static_cast<double>(c->frames()), 551.25, 1.0);
    EXPECT_EQ(c->samples.front(), 4096);
}

TEST_F(SoundFiles, RefusesMissingEmptyAndForeignFiles) {
    EXPECT_FALSE(readClip((dir / "none.wav").string()));
    EXPECT_FALSE(readClip(put("empty.wav", wavBytes(2, 44100, 16, {}, 0))));
    EXPECT_FALSE(readClip(put("text.wav", Bytes{'h', 'e', 'l', 'l', 'o'})));
}

TEST(CaptureHeader, IsTheCanonicalPcmHeader) {
    const auto h = captureHeader(8);
    const Bytes want = {'R', 'I', 'F', 'F', 44, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                        ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
                        2,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  8,    0,   0,   0};
    EXPECT_EQ(Bytes(h.begin(), h.end()), want);
}

TEST_F(SoundFiles, SpoolSavesTheKeptFramesBehindTheHeader) {
    CaptureSpool spool;
    ASSERT_TRUE(spool.reset());
    const std::uint32_t frames[3] = {0x00020001u, 0xFFFEFFFFu, 0x12345678u};
    ASSERT_TRUE(spool.append(frames, 3));
    const std::string path = (dir / "cap.wav").string();
    ASSERT_TRUE(spool.save(path, 2));
    const auto header = captureHeader(8);
    Bytes want(header.begin(), header.end());
    for (unsigned char c : {0x01, 0x00, 0x02, 0x00, 0xFF, 0xFF, 0xFE, 0xFF})
        want.push_back(c);
    EXPECT_EQ(readAll(path), want);
    // After a reset the spool starts empty again.
    ASSERT_TRUE(spool.reset());
    EXPECT_EQ(spool.frames(), 0);
    ASSERT_TRUE(spool.save(path, 5));
    EXPECT_EQ(readAll(path).size(), 44u);
    // Nowhere to write: the save fails and leaves no file behind.
    EXPECT_FALSE(spool.save((dir / "no" / "cap.wav").string(), 0));
    EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST(Aligner, FindsAKnownDelayInNoise) {
    const auto burst = probeBurst(256, 2000);
    std::vector<float> probe(burst.begin(), burst.end());
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0, 200);
    std::vector<float> input(20000);
    for (auto& v : input)
        v = noise(rng);
    const int delay = 4099;
    for (std::size_t k = 0; k < probe.size(); ++k)
        input[delay + k] += 0.5f * probe[k]; // quieter on the way back
    const Match m = bestMatch(probe, input, 0, 20000);
    EXPECT_EQ(m.lag, delay);
    EXPECT_GT(m.corr, 0.9);
    // A search that stops short of the delay finds nothing clear.
    EXPECT_LT(bestMatch(probe, input, 0, 4000).corr, 0.5);
}

TEST(Aligner, BurstIsBalancedAndSharp) {
    const auto b = probeBurst(256, 1000);
    long sum = 0;
    for (auto v : b) {
        ASSERT_TRUE(v == 1000 || v == -1000);
        sum += v;
    }
    EXPECT_LT(std::abs(sum), 256 * 1000 / 4);
}

TEST(Aligner, StartsOnTheLatestLoopBoundary) {
    // Sound began at 100 and loops every 44: boundaries 100, 144, ..., 980.
    EXPECT_EQ(alignedStart(1000, 100, 44, 1000), 980);
    EXPECT_EQ(alignedStart(980, 100, 44, 1000), 980);
    EXPECT_EQ(alignedStart(1000, 100, 44, 10), 1000);  // boundary too far back
    EXPECT_EQ(alignedStart(1000, 100, 0, 1000), 1000); // nothing loops
    EXPECT_EQ(alignedStart(50, 100, 44, 1000), 50);
}

TEST(Aligner, TrimsToWholeLoops) {
    EXPECT_EQ(trimToLoops(44100, 44), 44088); // 1002 loops
    EXPECT_EQ(trimToLoops(40, 44), 40);       // less than one loop: kept
    EXPECT_EQ(trimToLoops(1000, 0), 1000);
    EXPECT_EQ(trimToLoops(88, 44), 88);
}

namespace {

std::vector<std::uint32_t> tone(int frames, int period, int amp, int from = 0) {
    std::vector<std::uint32_t> v;
    for (int k = from; k < from + frames; ++k) {
        const double x = amp * std::sin(2 * M_PI * k / period);
        v.push_back(FrameRing::pack(static_cast<std::int16_t>(x), static_cast<std::int16_t>(-x)));
    }
    return v;
}

} // namespace

TEST(LagFinder, FindsTheChangeOfSoundNotAShiftedCycle) {
    // Output: 300 frames of one tone, then another; the input holds it
    // from offset 1234 on, after unrelated frames. Left and right are in
    // antiphase, so a mono sum would hold nothing.
    auto ref = tone(300, 40, 9000);
    const auto next = tone(500, 25, 9000);
    ref.insert(ref.end(), next.begin(), next.end());
    std::vector<std::uint32_t> input = tone(1234, 33, 5000);
    input.insert(input.end(), ref.begin(), ref.end());
    const auto tail = tone(900, 25, 9000, 500);
    input.insert(input.end(), tail.begin(), tail.end());
    // A preferred offset one cycle off changes nothing: the change is unique.
    const LagMatch m = bestOffset(ref, input, 1234 + 25);
    EXPECT_EQ(m.lag, 1234);
    EXPECT_NEAR(m.corr, 1.0, 1e-9);
    EXPECT_NEAR(correlationAt(ref, input, 1234), 1.0, 1e-9);
}

TEST(LagFinder, AnEndlessToneMatchesEveryCycleAndTheNearestIsTaken) {
    const auto ref = tone(200, 20, 8000);
    const auto input = tone(2000, 20, 8000, 0);
    EXPECT_EQ(bestOffset(ref, input, 1003).lag, 1000);
    EXPECT_EQ(bestOffset(ref, input, 0).lag, 0);
}

TEST(LagFinder, SilenceMatchesOnlySilence) {
    const std::vector<std::uint32_t> quiet(64, 0);
    const auto loud = tone(64, 16, 1000);
    EXPECT_EQ(correlationAt(quiet, quiet, 0), 1.0);
    EXPECT_EQ(correlationAt(quiet, loud, 0), 0.0);
    EXPECT_EQ(correlationAt(loud, quiet, 0), 0.0);
    EXPECT_EQ(correlationAt(loud, loud, 1), 0.0); // runs past the input
    EXPECT_LT(bestOffset(loud, std::vector<std::uint32_t>(500, 0), 0).corr, 0.5);
}

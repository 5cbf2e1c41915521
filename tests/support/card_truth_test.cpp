// The card-path truth tool's own parts, against hand-made files and values:
// a wrong reader or window here would pass or fail the card-path sweeps for
// the wrong reason.
#include "construct/measure/capture_files.h"
#include "support/card_truth.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace qelvar::test::card;
using qelvar::test::TempDir;

namespace {

void put(std::string& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A WAV file: `tag` 1 (PCM) or 3 (float), `bits`, the given sample bytes;
// `extra` chunks go between "fmt " and "data".
std::string wav(int tag, int channels, int bits, const std::string& data,
                const std::string& extra = "", bool extensible = false) {
    std::string fmt;
    put(fmt, extensible ? 0xFFFE : static_cast<std::uint32_t>(tag), 2);
    put(fmt, static_cast<std::uint32_t>(channels), 2);
    put(fmt, 44100, 4);
    put(fmt, static_cast<std::uint32_t>(44100 * channels * bits / 8), 4);
    put(fmt, static_cast<std::uint32_t>(channels * bits / 8), 2);
    put(fmt, static_cast<std::uint32_t>(bits), 2);
    if (extensible) {
        put(fmt, 22, 2);
        put(fmt, static_cast<std::uint32_t>(bits), 2);
        put(fmt, 3, 4);
        put(fmt, static_cast<std::uint32_t>(tag), 2);
        fmt += std::string(14, '\x01'); // the rest of the GUID
    }
    std::string b = "RIFF";
    put(b, 0, 4);
    b += "WAVEfmt ";
    put(b, static_cast<std::uint32_t>(fmt.size()), 4);
    b += fmt + extra + "data";
    put(b, static_cast<std::uint32_t>(data.size()), 4);
    return b + data;
}

std::string s16(std::initializer_list<int> v) {
    std::string b;
    for (int x : v)
        put(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(x)), 2);
    return b;
}

std::string f32(std::initializer_list<float> v) {
    std::string b;
    for (float x : v) {
        std::uint32_t u;
        std::memcpy(&u, &x, 4);
        put(b, u, 4);
    }
    return b;
}

Sound stereo(const std::vector<std::int32_t>& interleaved) {
    Sound s;
    s.rate = 44100;
    s.channels = 2;
    s.samples = interleaved;
    return s;
}

TEST(CardTruthReadWav, EveryWidthAsThirtyTwoBitFullScale) {
    TempDir dir;
    const struct {
        std::string file;
        std::vector<std::int32_t> want;
    } cases[] = {
        {wav(1, 2, 16, s16({1, -1, 32767, -32768})), {65536, -65536, 32767 * 65536, INT32_MIN}},
        // A float sample of a 16-bit value comes back as that value exactly;
        // beyond full scale it is clamped.
        {wav(3, 2, 32, f32({0.5f, -1.0f, 3.0f / 32768, 2.0f})),
         {1 << 30, INT32_MIN, 3 * 65536, INT32_MAX}},
        {wav(3, 2, 32, f32({-0.25f, 0.25f}), "", true), {-(1 << 29), 1 << 29}},
        {wav(1, 1, 24, std::string("\x01\x00\x80", 3)), {static_cast<std::int32_t>(0x80000100)}},
        {wav(1, 1, 8, std::string("\x80\xff", 2)), {0, 127 << 24}},
        // Chunks before the data (parecord's, a LIST) are stepped over.
        {wav(1, 2, 16, s16({7, 8}), std::string("LIST\x03\0\0\0", 8) + "abc" + '\0'),
         {7 * 65536, 8 * 65536}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir / (std::to_string(n++) + ".wav");
        qelvar::test::writeText(path, c.file);
        std::string why;
        const Sound s = readWav(path, &why);
        EXPECT_EQ(s.samples, c.want) << "case " << n << ": " << why;
        EXPECT_EQ(s.rate, 44100) << "case " << n;
    }
}

TEST(CardTruthReadWav, WhatItCannotReadIsEmptyWithAReason) {
    TempDir dir;
    std::string why;
    EXPECT_EQ(readWav(dir / "missing.wav", &why).channels, 0);
    EXPECT_FALSE(why.empty());
    const std::string odd = wav(1, 2, 12, s16({1, 2}));
    qelvar::test::writeText(dir / "odd.wav", odd);
    EXPECT_EQ(readWav(dir / "odd.wav").channels, 0);
    qelvar::test::writeText(dir / "text.wav", "not a sound at all");
    EXPECT_EQ(readWav(dir / "text.wav").channels, 0);
    // A header that claims more data than there is: the frames that are there.
    std::string cut = wav(1, 2, 16, s16({1, 2, 3, 4}));
    cut.resize(cut.size() - 2);
    qelvar::test::writeText(dir / "cut.wav", cut);
    EXPECT_EQ(readWav(dir / "cut.wav").frames(), 1);
}

TEST(CardTruthWindow, SixteenBitsRoundHalfUpAndClampAtTheTop) {
    EXPECT_EQ(to16(3 << 16), 3);
    EXPECT_EQ(to16((3 << 16) + 0x7FFF), 3);
    EXPECT_EQ(to16((3 << 16) + 0x8000), 4);
    EXPECT_EQ(to16(-(3 << 16) - 0x8000), -3); // a tie goes up, towards +inf
    EXPECT_EQ(to16(-(3 << 16) - 0x8001), -4);
    EXPECT_EQ(to16(INT32_MAX), 32767);
    EXPECT_EQ(to16(INT32_MIN), -32768);
}

TEST(CardTruthWindow, AStepIsFoundWhereItsWholeLoopFirstPlays) {
    const Sound step = stereo({1 << 16, 2 << 16, 3 << 16, 4 << 16});
    // Half a loop (frame 1), the whole loop at 3, again at 6.
    const Sound played = stereo({0, 0, 1 << 16, 2 << 16, 0, 0, 1 << 16, 2 << 16, 3 << 16, 4 << 16,
                                 9, 9, 1 << 16, 2 << 16, (3 << 16) + 0x7FFF, 4 << 16});
    EXPECT_EQ(findLoop(played, step, 0), 3);
    EXPECT_EQ(findLoop(played, step, 4), 6); // equal at 16 bits is equal
    EXPECT_EQ(findLoop(played, step, 7), -1);
    const Sound other = stereo({9 << 16, 9 << 16});
    EXPECT_EQ(findSteps(played, {step, step, other}), (std::vector<std::int64_t>{3, 6, -1}));
    EXPECT_EQ(findSteps(played, {other, step}), (std::vector<std::int64_t>{-1, -1}));
}

// The capture image is the window's frames as 16-bit samples after a
// 44-byte header, so the reading is the page's reading of exactly those.
TEST(CardTruthWindow, TheReadingIsThePagesOfTheWindowsFrames) {
    std::vector<std::int32_t> v;
    for (int f = 0; f < 100; ++f)
        v.insert(v.end(), {(f < 50 ? 1000 : -3000) << 16, 500 << 16});
    const Sound s = stereo(v);
    EXPECT_EQ(captureImage(s, 50, 20), captest::constantCapture(-3000, 500, 20));
    // Past the end is silence, as a short capture would hold.
    std::vector<unsigned char> tail = captest::constantCapture(-3000, 500, 10);
    const auto zeros = captest::constantCapture(0, 0, 5);
    tail.insert(tail.end(), zeros.begin() + 44, zeros.end());
    EXPECT_EQ(captureImage(s, 90, 15), tail);
    const auto [l, r] = truthLevels(s, 0, 50);
    const auto [wl, wr] = captest::referenceLevels(captest::constantCapture(1000, 500, 50));
    EXPECT_DOUBLE_EQ(l, wl);
    EXPECT_DOUBLE_EQ(r, wr);
}

TEST(CardTruthWindow, ACaptureIsPlacedWhereItRepeatsTheRunExactly) {
    std::vector<std::int32_t> v;
    for (int f = 0; f < 200; ++f)
        v.insert(v.end(), {(f * f % 251) << 16, -(f % 17) << 16});
    const Sound run = stereo(v);
    auto window = [&](std::int64_t from, std::int64_t n) {
        return stereo(std::vector<std::int32_t>(v.begin() + 2 * from, v.begin() + 2 * (from + n)));
    };
    EXPECT_EQ(captureShift(run, 100, window(100, 50)), 0);
    EXPECT_EQ(captureShift(run, 100, window(105, 50)), 5);
    EXPECT_EQ(captureShift(run, 100, window(97, 50)), -3);
    EXPECT_EQ(captureShift(run, 100, window(10, 50)), std::nullopt); // too far
    Sound off = window(100, 50);
    off.samples[61] += 1 << 16; // one sample one step off: no copy
    EXPECT_EQ(captureShift(run, 100, off), std::nullopt);
    off.samples[61] -= 1 << 15; // half a step over rounds up: still off
    EXPECT_EQ(captureShift(run, 100, off), std::nullopt);
    off.samples[61] -= 1; // just under half a step: the same at 16 bits
    EXPECT_EQ(captureShift(run, 100, off), 0);
    // A steady tone repeats every period: the nearest copy is the one meant.
    std::vector<std::int32_t> tone;
    for (int f = 0; f < 200; ++f)
        tone.insert(tone.end(), {(f % 10) << 20, 0});
    const Sound steady = stereo(tone);
    const Sound part =
        stereo(std::vector<std::int32_t>(tone.begin() + 2 * 103, tone.begin() + 2 * 153));
    EXPECT_EQ(captureShift(steady, 100, part), 3);
}

TEST(CardTruthCompare, FindsTheLagAndTheLargestDifference) {
    std::vector<std::int32_t> a(2 * 40000, 0);
    std::uint32_t seed = 1;
    for (std::size_t f = 1000; f < 40000; ++f) { // silence, then noise
        seed = seed * 1664525u + 1013904223u;
        a[2 * f] = a[2 * f + 1] = static_cast<std::int32_t>(seed) / 4;
    }
    // The same 5000 frames later (more than the search around the onsets spans).
    std::vector<std::int32_t> b(2 * 5000, 0);
    b.insert(b.end(), a.begin(), a.end());
    b[2 * (5000 + 20000) + 1] += 3 << 16;
    const Agreement g = compare(stereo(a), stereo(b));
    ASSERT_TRUE(g.found);
    EXPECT_EQ(g.lag, 5000);
    EXPECT_EQ(g.maxDiff, 3);
    EXPECT_EQ(g.worstFrame, 20000);
    EXPECT_EQ(g.compared, 40000);
    EXPECT_FALSE(compare(stereo(std::vector<std::int32_t>(200, 0)), stereo(b)).found);
}

} // namespace

// The ten test-signal toggles and NOISE FILE CREATION on the page model.
#include "page_fixture.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qelvar::construct::testing {
namespace {

constexpr double kTurn = 6.283038530718;
constexpr std::array<Signal, 10> kAll{Signal::Square, Signal::Smpte,   Signal::Ccif, Signal::Iec,
                                      Signal::White,  Signal::Ul,      Signal::Pink, Signal::Csa,
                                      Signal::Sub,    Signal::Triangle};

class SignalsTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        open();
    }
    Bytes signalFile() { return stepFile(0); }
    std::uint16_t codeAt(const Bytes& b, std::size_t frame, int channel) {
        const std::size_t k = 44 + 4 * frame + 2 * static_cast<std::size_t>(channel);
        return static_cast<std::uint16_t>(b[k] | b[k + 1] << 8);
    }
    // Only `on` is lit (none when `on` is Count), and only its flag is set.
    void expectOnly(Signal on) {
        for (Signal s : kAll) {
            SCOPED_TRACE(static_cast<int>(s));
            EXPECT_EQ(page->signalFlag(s), s == on);
            EXPECT_EQ(c().signalLamps[static_cast<int>(s)], s == on ? kLampOn : kLampOff);
        }
    }
    void setRow1(const std::string& freq, const std::string& att) {
        c().freq[0] = freq;
        c().attL[0] = att;
        c().attR[0] = att;
    }
};

// Every signal frame at one gain on both channels, from s(θ).
template <class F> Bytes frames(std::size_t count, double perCycle, double g, F s) {
    Bytes out;
    const double delta = kTurn / perCycle;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t c = code16(s(delta * static_cast<double>(i)), g);
        for (int ch = 0; ch < 2; ++ch) {
            out.push_back(c & 0xFF);
            out.push_back(c >> 8);
        }
    }
    return out;
}

TEST_F(SignalsTest, SmpteFileIsTheFourToOneMixAtStepZero) {
    page->testSignal(Signal::Smpte);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 5924u);
    EXPECT_EQ(Bytes(b.begin() + 40, b.begin() + 44), (Bytes{0xF8, 0x16, 0x00, 0x00}));
    EXPECT_EQ(Bytes(b.begin() + 44, b.begin() + 48), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(u32(b, 4), 5916u);
    // 1470 frames, 735 a turn of the 60 Hz tone.
    const Bytes want = frames(
        1470, 735, 0.5, [](double t) { return 0.8 * std::sin(t) + 0.2 * std::sin(110.0026 * t); });
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.begin() + 44));
    EXPECT_EQ(page->currentStep(), 0);
    EXPECT_EQ(page->table().frequency[0], 60);
    EXPECT_EQ(page->table().gainL[0], 0.5);
    expectOnly(Signal::Smpte);
}

TEST_F(SignalsTest, CcifFileIs176Frames) {
    page->testSignal(Signal::Ccif);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 748u);
    EXPECT_EQ(u32(b, 40), 704u);
    EXPECT_EQ(page->table().frequency[0], 500);
    // 704 bytes over 2 turns: 88 frames a turn.
    const Bytes want = frames(
        176, 88, 0.5, [](double t) { return (std::sin(27.0006 * t) * 0.5) * (std::sin(t) * 0.5); });
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.begin() + 44));
    expectOnly(Signal::Ccif);
}

TEST_F(SignalsTest, SquareAtTwentyHertzHoldsTwoLevelsOnly) {
    setRow1("20", "0");
    page->testSignal(Signal::Square);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 44u + 17640u);
    // 2205 frames a turn: sin > 0 for frames 1..1102 of the first turn and
    // 2206..3307 of the second (the page's turn is a little short of 2π, so
    // frame 2205 is still negative): 2204 high frames, 2206 low ones.
    int high = 0, low = 0;
    for (std::size_t f = 0; f < 4410; ++f)
        for (int ch = 0; ch < 2; ++ch) {
            const std::uint16_t code = codeAt(b, f, ch);
            high += code == 16384;
            low += code == 49151;
        }
    EXPECT_EQ(high, 2 * 2204);
    EXPECT_EQ(low, 2 * 2206);
    EXPECT_EQ(codeAt(b, 0, 0), 49151); // sin 0 = 0 counts as the low half
    EXPECT_EQ(codeAt(b, 1, 1), 16384);
    EXPECT_EQ(codeAt(b, 1102, 0), 16384);
    EXPECT_EQ(codeAt(b, 1103, 0), 49151);
    EXPECT_EQ(codeAt(b, 2205, 0), 49151);
    EXPECT_EQ(codeAt(b, 2206, 0), 16384);
}

TEST_F(SignalsTest, TrianglePeaksAtAQuarterTurn) {
    // 1000 Hz: 352 bytes, 44 frames a turn, so frame 11 is the quarter turn.
    // Σ 1/k² over odd k ≤ 27 = 1.215851; s = 0.607925; a = 32767.5 s =
    // 19920.2 -> 19920 (D0 4D); the trough 65535 − 19920.2 -> 45615.
    setRow1("1000", "0");
    page->testSignal(Signal::Triangle);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 396u);
    EXPECT_EQ(b[44 + 4 * 11], 0xD0);
    EXPECT_EQ(b[45 + 4 * 11], 0x4D);
    EXPECT_EQ(codeAt(b, 11, 1), 19920);
    EXPECT_EQ(codeAt(b, 33, 0), 45615);
    EXPECT_EQ(codeAt(b, 55, 0), 19920);
    std::uint16_t top = 0;
    for (std::size_t f = 0; f < 88; ++f)
        if (codeAt(b, f, 0) < 32768)
            top = std::max(top, codeAt(b, f, 0));
    EXPECT_EQ(top, 19920);
    expectOnly(Signal::Triangle);
}

TEST_F(SignalsTest, SoundCallsOfBuiltAndNoiseToggles) {
    snd.calls.clear();
    page->testSignal(Signal::Square);
    auto want = stopCalls();
    want.push_back(FakeSound::play(path("tessalyf0.wav"), sound::kLoopFile));
    EXPECT_EQ(snd.calls, want);

    // Another button replaces the loop without a stop in between.
    snd.calls.clear();
    page->testSignal(Signal::Pink);
    EXPECT_EQ(snd.calls, (std::vector{FakeSound::play(path("pinknoise.wav"), sound::kLoopFile)}));
    expectOnly(Signal::Pink);

    snd.calls.clear();
    page->testSignal(Signal::Pink);
    EXPECT_EQ(snd.calls, stopCalls());
}

TEST_F(SignalsTest, EachNoiseButtonLoopsItsFile) {
    const std::pair<Signal, const char*> noises[] = {
        {Signal::White, "whnoise.wav"}, {Signal::Pink, "pinknoise.wav"},
        {Signal::Ul, "ulnoise.wav"},    {Signal::Iec, "iecnoise.wav"},
        {Signal::Sub, "subnoise.wav"},  {Signal::Csa, "csanoise.wav"}};
    for (auto [s, name] : noises) {
        SCOPED_TRACE(name);
        snd.calls.clear();
        page->testSignal(s);
        ASSERT_EQ(snd.calls.size(), 1u);
        EXPECT_EQ(snd.calls[0], FakeSound::play(path(name), sound::kLoopFile));
        expectOnly(s);
    }
}

TEST_F(SignalsTest, PressingALitButtonTurnsEverythingOff) {
    page->testSignal(Signal::Square);
    const Bytes before = signalFile();
    page->testSignal(Signal::Square);
    expectOnly(Signal::Count);
    EXPECT_EQ(signalFile(), before);
    // Builds after that are sines again: row 1 at 20 Hz, first frame 0.
    page->build(1);
    EXPECT_EQ(stepFile(1).size(), 44u + 17640u);
    EXPECT_EQ(codeAt(stepFile(1), 0, 0), 0);
}

TEST_F(SignalsTest, SmpteWhileTriangleThenTriangleAgain) {
    page->testSignal(Signal::Triangle);
    page->testSignal(Signal::Smpte);
    expectOnly(Signal::Smpte);
    EXPECT_EQ(signalFile().size(), 5924u);

    // Back to the triangle, built at step 1 (20 Hz, 3 dB down).
    page->testSignal(Signal::Triangle);
    expectOnly(Signal::Triangle);
    EXPECT_EQ(page->currentStep(), 1);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 44u + 17640u);
    const Bytes want = frames(4410, 2205, gainDb(3), [](double t) {
        double sum = 0;
        for (int k = 1; k <= 27; k += 2)
            sum += ((k / 2) % 2 ? -1.0 : 1.0) * std::sin(k * t) / (k * k);
        return 0.5 * sum;
    });
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.begin() + 44));
}

TEST_F(SignalsTest, SquareAfterSmpteBuildsStepOne) {
    page->testSignal(Signal::Smpte);
    page->testSignal(Signal::Square);
    EXPECT_EQ(page->currentStep(), 1);
    EXPECT_EQ(signalFile().size(), 44u + 17640u);
}

TEST_F(SignalsTest, SquareAfterPulseBuildUsesTheOffStep) {
    c().freq[21] = "2000"; // the hidden off frequency box
    page->build(kPulseOn);
    ASSERT_EQ(page->currentStep(), kPulseOff);
    page->testSignal(Signal::Square);
    // Step 22 at 2000 Hz: 10 turns, 882 bytes cut to 880.
    EXPECT_EQ(signalFile().size(), 44u + 880u);
}

TEST_F(SignalsTest, BuildsWhileASignalIsOnUseIt) {
    page->testSignal(Signal::Ccif);
    page->build(5);
    EXPECT_EQ(stepFile(5).size(), 748u); // the CCIF tone in row 5's file
    page->testSignal(Signal::Square);
    page->build(2);
    const Bytes b = stepFile(2);
    ASSERT_EQ(b.size(), 44u + 11760u);                   // 30 Hz
    EXPECT_EQ(codeAt(b, 0, 0), code16(-0.5, gainDb(3))); // square, not a sine at 0
}

TEST_F(SignalsTest, WhiteNeverBuildsButMovesRowBuildsToOneHertz) {
    writeText(dir / "tessalyf0.wav", "marker");
    page->testSignal(Signal::Smpte); // step 0's gains become 0.5
    writeText(dir / "tessalyf0.wav", "marker");
    page->testSignal(Signal::White);
    EXPECT_EQ(readText(dir / "tessalyf0.wav"), "marker");
    expectOnly(Signal::White);

    page->build(1);
    const Bytes b = stepFile(1);
    ASSERT_EQ(b.size(), 44u + 176400u);
    EXPECT_EQ(u32(b, 40), 176400u);
    EXPECT_EQ(page->currentStep(), 0);
    EXPECT_EQ(page->table().frequency[0], 1);
    EXPECT_EQ(page->cycleCount(), 1);
    EXPECT_EQ(Bytes(b.begin() + 44, b.end()), sineData(176400, 1, 0.5, 0.5));
}

// --- NOISE FILE CREATION ----------------------------------------------------

class NoiseCreationTest : public SignalsTest {
  protected:
    void SetUp() override {
        SignalsTest::SetUp();
        page->setNoiseSource(
            std::make_unique<noise::ClockedUniformSource>(12345u, [] { return std::uint64_t{7}; }));
    }
    bool exists(std::string_view name) { return std::filesystem::exists(dir / name); }
};

TEST_F(NoiseCreationTest, WritesTheSixFilesAndLeavesTheCsaHeader) {
    page->testSignal(Signal::Pink);
    snd.calls.clear();
    page->noiseFileCreation();
    EXPECT_TRUE(snd.calls.empty()); // neither stops nor starts playback
    expectOnly(Signal::Pink);
    EXPECT_EQ(c().status, "");

    const std::pair<const char*, std::size_t> files[] = {
        {"whnoise.wav", 705644},   {"iecnoise.wav", 176444}, {"subnoise.wav", 176444},
        {"pinknoise.wav", 705644}, {"ulnoise.wav", 705644},  {"csanoise.wav", 705644}};
    for (auto [name, size] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(file(name).size(), size);
    }
    const Bytes white = file("whnoise.wav");
    EXPECT_EQ(u32(white, 4), 705636u);
    EXPECT_EQ(u32(white, 40), 705600u);
    EXPECT_EQ(file("pinknoise.wav"), file("csanoise.wav"));
    EXPECT_EQ(u32(file("csanoise.wav"), 40), 590516u);

    EXPECT_EQ(page->dataLength(), 590516);
    EXPECT_EQ(page->table().gainL[0], 1.0);
    EXPECT_EQ(page->table().gainR[0], 1.0);
}

TEST_F(NoiseCreationTest, ABuildAfterTheRunWritesItsOwnHeader) {
    page->noiseFileCreation();
    setRow1("20", "0");
    page->testSignal(Signal::Square);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 44u + 17640u);
    const Bytes header{'R', 'I', 'F',  'F',  0x0C, 0x45, 0,    0,    'W',  'A', 'V',
                       'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                       2,   0,   0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,   4,
                       0,   16,  0,    'd',  'a',  't',  'a',  0xE8, 0x44, 0,   0};
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 44), header);
}

TEST_F(NoiseCreationTest, AFileThatCannotBeWrittenEndsTheRun) {
    std::filesystem::create_directory(dir / "iecnoise.wav");
    page->noiseFileCreation();
    EXPECT_EQ(c().status, "    Noise run stopped: cannot write " + path("iecnoise.wav"));
    EXPECT_EQ(file("whnoise.wav").size(), 705644u);
    for (const char* later : {"subnoise.wav", "pinknoise.wav", "ulnoise.wav", "csanoise.wav"})
        EXPECT_FALSE(exists(later)) << later;

    // One further along: the four before it stay.
    std::filesystem::remove(dir / "iecnoise.wav");
    std::filesystem::create_directory(dir / "ulnoise.wav");
    page->noiseFileCreation();
    EXPECT_EQ(c().status, "    Noise run stopped: cannot write " + path("ulnoise.wav"));
    for (const char* kept : {"whnoise.wav", "iecnoise.wav", "subnoise.wav", "pinknoise.wav"})
        EXPECT_TRUE(exists(kept)) << kept;
    EXPECT_FALSE(exists("csanoise.wav"));

    // A whole run afterwards clears the message.
    std::filesystem::remove(dir / "ulnoise.wav");
    page->noiseFileCreation();
    EXPECT_EQ(c().status, "");
    EXPECT_TRUE(exists("csanoise.wav"));
}

} // namespace
} // namespace qelvar::construct::testing

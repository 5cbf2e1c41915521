// The ten test-signal toggles and NOISE FILE CREATION on the page model.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class SignalsTest : public PageTest {
  protected:
    Bytes signalFile() { return stepFile(0); }
    std::uint16_t codeAt(const Bytes& b, std::size_t frame, int channel) {
        const std::size_t k = 44 + 4 * frame + 2 * static_cast<std::size_t>(channel);
        return static_cast<std::uint16_t>(b[k] | b[k + 1] << 8);
    }
    // Only `on` is lit (none when `on` is Count), and only its flag is set.
    void expectOnly(Signal on) {
        for (int i = 0; i < kSignalCount; ++i) {
            const bool lit = i == static_cast<int>(on);
            EXPECT_EQ(std::tuple(page->signalFlag(Signal(i)), c().signalLamps[i]),
                      std::tuple(lit, lit ? kLampOn : kLampOff))
                << i;
        }
    }
};

TEST_F(SignalsTest, TriangleSmpteAndCcifFiles) {
    // 1000 Hz: 44 frames a turn; Σ 1/k² over odd k ≤ 27 = 1.215851, so the
    // triangle's peak is 32767.5 × 0.607925 = 19920, the trough 65535 − that.
    std::tie(c().freq[0], c().attL[0], c().attR[0]) = std::tuple("1000", "0", "0");
    page->testSignal(Signal::Triangle);
    Bytes b = signalFile();
    ASSERT_EQ(b.size(), 396u);
    EXPECT_EQ(std::tuple(codeAt(b, 11, 0), codeAt(b, 11, 1), codeAt(b, 33, 0)),
              std::tuple(19920, 19920, 45615));
    expectOnly(Signal::Triangle);
    page->testSignal(Signal::Smpte);
    b = signalFile();
    // 1470 frames, 735 a turn of the 60 Hz tone.
    ASSERT_EQ(slice(b), frames(1470, 735, 0.5, 0.5, [](double t) {
                  return 0.8 * std::sin(t) + 0.2 * std::sin(110.0026 * t);
              }));
    EXPECT_EQ(u32(b, 40), 5880u);
    EXPECT_EQ(page->currentStep(), 0);
    expectOnly(Signal::Smpte);
    page->testSignal(Signal::Ccif);
    // 704 bytes over 2 turns of 500 Hz: 88 frames a turn.
    EXPECT_EQ(slice(signalFile()), frames(176, 88, 0.5, 0.5, [](double t) {
                  return (std::sin(27.0006 * t) * 0.5) * (std::sin(t) * 0.5);
              }));
    expectOnly(Signal::Ccif);
}

TEST_F(SignalsTest, ALitButtonTurnsEverythingOffAnotherTakesOver) {
    auto square = [&] { page->testSignal(Signal::Square); };
    EXPECT_EQ(callsOf(square), stopCalls(1, 0));
    const Bytes before = signalFile();
    EXPECT_EQ(callsOf(square), stopCalls());
    expectOnly(Signal::Count);
    EXPECT_EQ(signalFile(), before);
    page->build(1); // sines again: first frame 0
    EXPECT_EQ(codeAt(stepFile(1), 0, 0), 0);
    page->testSignal(Signal::Triangle);
    page->testSignal(Signal::Smpte);
    expectOnly(Signal::Smpte);
    EXPECT_EQ(signalFile().size(), 5924u);
}

// SQUARE after a pulse build makes step 22 (the hidden 1000 Hz); its right box is out of
// range, so the right gain is the one the burst left there.
TEST_F(SignalsTest, SquareAfterAPulseBuildUsesTheOffStep) {
    c().attL[20] = "6";
    c().attL[21] = "26";
    c().attR[21] = "-10";
    page->build(kPulseOn);
    page->testSignal(Signal::Square);
    EXPECT_EQ(page->currentStep(), kPulseOff);
    const Bytes b = signalFile();
    ASSERT_EQ(b.size(), 396u);
    EXPECT_EQ(slice(b), frames(88, 44, gainDb(26), gainDb(26),
                               [](double t) { return std::sin(t) <= 0 ? -0.5 : 0.5; }));
}

TEST_F(SignalsTest, WhiteNeverBuildsButMovesRowBuildsToOneHertz) {
    page->testSignal(Signal::Smpte); // step 0's gains become 0.5
    writeText(dir / "tessalyf0.wav", "marker");
    EXPECT_EQ(callsOf([&] { page->testSignal(Signal::White); }),
              Calls{FakeSound::play(path("whnoise.wav"), audio::kLoopFile)});
    EXPECT_EQ(readText(dir / "tessalyf0.wav"), "marker");
    expectOnly(Signal::White);
    page->build(1);
    const Bytes b = stepFile(1);
    ASSERT_EQ(std::tuple(b.size(), u32(b, 40)), std::tuple(44u + 176400u, 176400u));
    EXPECT_EQ(page->table().frequency[0], 1);
    EXPECT_EQ(slice(b), sineData(176400, 1, 0.5, 0.5));
}

TEST_F(SignalsTest, NoiseFileCreationWritesSixFilesOrNamesTheFailingOne) {
    page->setNoiseSource(
        std::make_unique<noise::ClockedUniformSource>(12345u, [] { return std::uint64_t{7}; }));
    std::filesystem::create_directory(dir / "ulnoise.wav");
    page->noiseFileCreation();
    EXPECT_EQ(c().status, "    Noise run stopped: cannot write " + path("ulnoise.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "csanoise.wav"));
    std::filesystem::remove(dir / "ulnoise.wav");
    page->testSignal(Signal::Pink);
    EXPECT_EQ(callsOf([&] { page->noiseFileCreation(); }), Calls{}); // playback goes on
    expectOnly(Signal::Pink);
    EXPECT_EQ(c().status, ""); // the files themselves: tests/e2e/page_signals
    EXPECT_EQ(readBytes(dir / "pinknoise.wav"), readBytes(dir / "csanoise.wav"));
    // The run leaves step 0's gains at 1 for the builds WHT moves there.
    page->testSignal(Signal::White);
    page->build(1);
    EXPECT_EQ(slice(stepFile(1), 44, 44 + 176400), sineData(176400, 1, 1.0, 1.0));
}

} // namespace
} // namespace qelvar::construct::testing

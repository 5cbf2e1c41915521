// The sequencer driven tick by tick, with the sound calls it makes.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class SequencerTest : public PageTest {
  protected:
    int playedRows() {
        return static_cast<int>(
            std::count(c().indicator.begin(), c().indicator.begin() + 20, kRowPlayed));
    }
};

TEST_F(SequencerTest, IntervalsFollowTheLengthsAndThePlayEndsAfterRowTwenty) {
    page->play();
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOn);
    std::vector<int> seen{page->interval()};
    for (int i = 0; i < 5; ++i)
        seen.push_back((page->tick(), page->interval()));
    EXPECT_EQ(seen, (std::vector<int>{100, 600, 600, 400, 200, 100}));
    EXPECT_EQ(std::tuple(snd.calls.back(), playedRows()), std::tuple(loopOf(5), 5));
    ticks(15);
    EXPECT_EQ(std::tuple(page->playing(), loopedSteps().size()), std::tuple(true, 20u));
    EXPECT_EQ(tickCalls(), stopCalls());
    EXPECT_EQ(std::tuple(page->playing(), page->interval(), playedRows(), c().lamp(Lamp::Play)),
              std::tuple(false, 0, 0, kLampOff));
    c().length[1] = "0.4"; // rounds to 0: the timer stops
    page->play();
    ticks(2);
    EXPECT_EQ(std::tuple(page->interval(), snd.calls.back()), std::tuple(0, loopOf(2)));
}

TEST_F(SequencerTest, ExcludedRowsBecomeOneSilenceAndAllExcludedEndsAtOnce) {
    c().include[2] = c().include[3] = false;
    page->play();
    ticks(2);
    EXPECT_EQ(tickCalls(), stopCalls(2));
    EXPECT_EQ(page->interval(), 400); // length of row 3
    EXPECT_EQ(playedRows(), 3);       // rows 1, 2 and 5
    EXPECT_EQ(tickCalls(), Calls{loopOf(5)});
    EXPECT_EQ(page->interval(), 100);
    page->stop();
    std::fill(c().include.begin(), c().include.begin() + 22, false);
    page->play();
    tickCalls();
    EXPECT_EQ(
        std::tuple(loopedSteps().size(), page->playing(), page->interval(), c().indicator[21]),
        std::tuple(0u, false, 0, kRowPlayed));
}

TEST_F(SequencerTest, PassingOverStepsBeyondTwentyFiveEndsTheSequence) {
    std::string text;
    for (int i = 1; i <= 25; ++i)
        text += "1000\r\n3\r\n3\r\n100\r\n" + std::string(i <= 2 ? "1" : "0") + "\r\n";
    writeText(dir / "tessalysetup", text);
    open();
    page->play();
    ticks(3); // rows 1, 2, then steps 3..25 excluded
    EXPECT_EQ(std::tuple(page->playing(), page->interval()), std::tuple(false, 0));
    EXPECT_LE(page->stepIndex(), 26);
    page->loop();
    page->play();
    ticks(3);
    EXPECT_TRUE(page->playing()); // restarts instead
    EXPECT_EQ(tickCalls(), Calls{loopOf(1)});
}

TEST_F(SequencerTest, StepPressedTwentyOneTimesAndLoopRestartAtRowOne) {
    for (int r = 1; r <= 21; ++r) {
        page->step();
        EXPECT_EQ(std::tuple(snd.calls.back(), playedRows()),
                  std::tuple(loopOf(r == 21 ? 1 : r), r == 21 ? 1 : r));
    }
    page->loop();
    page->play();
    ticks(20);
    EXPECT_EQ(playedRows(), 20);
    page->tick();
    EXPECT_EQ(std::tuple(page->playing(), playedRows(), page->interval()),
              std::tuple(true, 0, 100)); // length[21]
    EXPECT_EQ(tickCalls(), Calls{loopOf(1)});
    EXPECT_EQ(c().indicator[0], kRowPlayed);
}

TEST_F(SequencerTest, FullDuplexRecordsEachStep) {
    page->fullDuplex();
    page->play();
    auto stepCalls = [&](int step) {
        Calls out{FakeSound::mci(audio::kStopCapture),
                  FakeSound::mci("save capture " + path("wavrec" + std::to_string(step) + ".wav")),
                  FakeSound::mci("close all"), loopOf(step + 1), FakeSound::mci("close all")};
        for (auto* m :
             {audio::kOpenCapture, audio::kSeekCapture, audio::kSetCapture, audio::kRecordCapture})
            out.push_back(FakeSound::mci(m));
        return out;
    };
    EXPECT_EQ(tickCalls(), stepCalls(0));
    halfScaleCaptures();
    EXPECT_EQ(tickCalls(), stepCalls(1));
    EXPECT_EQ(std::tuple(c().left[1], c().right[1], c().left[2]), std::tuple("-1.020", " 0", ""));
}

} // namespace
} // namespace qelvar::construct::testing

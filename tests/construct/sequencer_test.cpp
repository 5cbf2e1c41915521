// The sequencer driven tick by tick, with the sound calls it makes.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class SequencerTest : public PageTest {
  protected:
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            page->tick();
    }
    int playedRows() {
        int n = 0;
        for (int r = 0; r < 20; ++r)
            n += c().indicator[r] == kRowPlayed;
        return n;
    }
};

TEST_F(SequencerTest, IntervalsFollowTheLengthsAndThePlayEndsAfterRowTwenty) {
    page->play();
    EXPECT_EQ(page->interval(), 100);
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOn);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        page->tick();
        seen.push_back(page->interval());
    }
    EXPECT_EQ(seen, (std::vector<int>{600, 600, 400, 200, 100}));
    EXPECT_EQ(snd.calls.back(), loopOf(5));
    EXPECT_EQ(playedRows(), 5);
    ticks(15);
    EXPECT_TRUE(page->playing());
    EXPECT_EQ(loopCalls(), 20);
    snd.calls.clear();
    page->tick();
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(snd.calls, stopCalls());
    EXPECT_EQ(playedRows(), 0);
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOff);
    c().length[1] = "0.4"; // rounds to 0: the timer stops
    page->play();
    ticks(2);
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(snd.calls.back(), loopOf(2));
}

TEST_F(SequencerTest, ExcludedRowsBecomeOneSilenceAndAllExcludedEndsAtOnce) {
    c().include[2] = c().include[3] = false;
    page->play();
    ticks(2);
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(page->interval(), 400); // length of row 3
    EXPECT_EQ(snd.calls, stopCalls(2));
    EXPECT_EQ(playedRows(), 3); // rows 1, 2 and 5
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, Calls{loopOf(5)});
    EXPECT_EQ(page->interval(), 100);
    page->stop();
    for (int e = 0; e < 22; ++e)
        c().include[e] = false;
    page->play();
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(loopCalls(), 0);
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(c().indicator[21], kRowPlayed);
}

TEST_F(SequencerTest, PassingOverStepsBeyondTwentyFiveEndsTheSequence) {
    std::string text;
    for (int i = 1; i <= 25; ++i)
        text += "1000\r\n3\r\n3\r\n100\r\n" + std::string(i <= 2 ? "1" : "0") + "\r\n";
    writeText(dir / "tessalysetup", text);
    open();
    page->play();
    ticks(3); // rows 1, 2, then steps 3..25 excluded
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_LE(page->stepIndex(), 26);
    page->loop();
    page->play();
    ticks(3);
    EXPECT_TRUE(page->playing()); // restarts instead
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, Calls{loopOf(1)});
}

TEST_F(SequencerTest, StepPressedTwentyOneTimesAndLoopRestartAtRowOne) {
    for (int r = 1; r <= 21; ++r) {
        page->step();
        EXPECT_EQ(snd.calls.back(), loopOf(r == 21 ? 1 : r));
        EXPECT_EQ(playedRows(), r == 21 ? 1 : r);
    }
    page->loop();
    page->play();
    ticks(20);
    EXPECT_EQ(playedRows(), 20);
    page->tick();
    EXPECT_TRUE(page->playing());
    EXPECT_EQ(playedRows(), 0);
    EXPECT_EQ(page->interval(), 100); // length[21]
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, Calls{loopOf(1)});
    EXPECT_EQ(c().indicator[0], kRowPlayed);
}

TEST_F(SequencerTest, FullDuplexRecordsEachStepAndNoneWhenOff) {
    page->play();
    ticks(21);
    for (auto& call : snd.calls)
        EXPECT_TRUE(call.kind == FakeSound::Call::Play || call.text == "close all") << call.text;
    page->fullDuplex();
    page->play();
    const Calls start{FakeSound::mci("close all"), FakeSound::mci(audio::kOpenCapture),
                      FakeSound::mci(audio::kSeekCapture), FakeSound::mci(audio::kSetCapture),
                      FakeSound::mci(audio::kRecordCapture)};
    auto stepCalls = [&](int step) {
        Calls out{FakeSound::mci(audio::kStopCapture),
                  FakeSound::mci("save capture " + path("wavrec" + std::to_string(step) + ".wav")),
                  FakeSound::mci("close all"), loopOf(step + 1)};
        out.insert(out.end(), start.begin(), start.end());
        return out;
    };
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, stepCalls(0));
    halfScaleCaptures();
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, stepCalls(1));
    EXPECT_EQ(c().left[1], "-1.020");
    EXPECT_EQ(c().right[1], " 0");
    EXPECT_EQ(c().left[2], "");
}

} // namespace
} // namespace qelvar::construct::testing

// The sequencer driven tick by tick, with the sound calls it makes.
#include "page_fixture.h"

namespace qelvar::construct::testing {
namespace {

class SequencerTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        open();
    }
    FakeSound::Call loopOf(int step) {
        return FakeSound::play(path("tessalyf" + std::to_string(step) + ".wav"), sound::kLoopFile);
    }
    std::vector<FakeSound::Call> startRecording() {
        return {FakeSound::mci("close all"), FakeSound::mci(sound::kOpenCapture),
                FakeSound::mci(sound::kSeekCapture), FakeSound::mci(sound::kSetCapture),
                FakeSound::mci(sound::kRecordCapture)};
    }
    std::vector<FakeSound::Call> endRecording(int step) {
        return {FakeSound::mci(sound::kStopCapture),
                FakeSound::mci("save capture " + path("wavrec" + std::to_string(step) + ".wav")),
                FakeSound::mci("close all")};
    }
    int playedRows() {
        int n = 0;
        for (int r = 0; r < 20; ++r)
            n += c().indicator[r] == kRowPlayed;
        return n;
    }
};

TEST_F(SequencerTest, IntervalsFollowTheLengths) {
    page->play();
    EXPECT_EQ(page->interval(), 100);
    EXPECT_TRUE(page->playing());
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOn);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        page->tick();
        seen.push_back(page->interval());
    }
    EXPECT_EQ(seen, (std::vector<int>{600, 600, 400, 200, 100}));
    EXPECT_EQ(snd.calls.back(), loopOf(5));
    EXPECT_EQ(playedRows(), 5);
}

TEST_F(SequencerTest, APlayedSequenceEndsAfterRowTwenty) {
    page->play();
    for (int i = 0; i < 20; ++i)
        page->tick();
    EXPECT_TRUE(page->playing());
    EXPECT_EQ(snd.calls.back(), loopOf(20));
    EXPECT_EQ(loopCalls(), 20);
    snd.calls.clear();
    page->tick();
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(snd.calls, stopCalls());
    EXPECT_EQ(playedRows(), 0);
    EXPECT_EQ(c().lamp(Lamp::Play), kLampOff);
}

TEST_F(SequencerTest, ALengthThatRoundsToZeroStopsTheTimer) {
    c().length[1] = "0.4";
    page->play();
    page->tick();
    page->tick();
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(snd.calls.back(), loopOf(2));
}

TEST_F(SequencerTest, ExcludedRowsBecomeOneSilence) {
    c().include[2] = false;
    c().include[3] = false;
    page->play();
    page->tick();
    page->tick();
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(page->interval(), 400); // length of row 3
    auto twoStops = stopCalls();
    auto more = stopCalls();
    twoStops.insert(twoStops.end(), more.begin(), more.end());
    EXPECT_EQ(snd.calls, twoStops);
    EXPECT_EQ(c().indicator[2], kRowIdle);
    EXPECT_EQ(c().indicator[3], kRowIdle);
    EXPECT_EQ(c().indicator[4], kRowPlayed);
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, std::vector<FakeSound::Call>{loopOf(5)});
    EXPECT_EQ(page->interval(), 100);
}

TEST_F(SequencerTest, EverythingExcludedEndsAtTheFirstTick) {
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
    page->tick(); // row 1
    page->tick(); // row 2
    page->tick(); // steps 3..25 excluded
    EXPECT_FALSE(page->playing());
    EXPECT_EQ(page->interval(), 0);
    EXPECT_LE(page->stepIndex(), 26);

    page->loop();
    page->play();
    for (int i = 0; i < 3; ++i)
        page->tick();
    EXPECT_TRUE(page->playing()); // restarts instead
    EXPECT_EQ(page->stepIndex(), 0);
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, std::vector<FakeSound::Call>{loopOf(1)});
}

TEST_F(SequencerTest, AStaleSkipFlagDoesNotHoldRowOne) {
    c().include[2] = false;
    page->update(); // STEP itself takes nothing in
    page->step();
    page->step();
    page->step(); // row 3 excluded: silence, row 4 marked, skip flag left set
    EXPECT_EQ(c().indicator[3], kRowPlayed);
    page->play();
    page->tick();
    page->tick();
    EXPECT_EQ(snd.calls.back(), loopOf(2));
}

TEST_F(SequencerTest, StepPressedTwentyOneTimes) {
    for (int r = 1; r <= 20; ++r) {
        page->step();
        EXPECT_EQ(snd.calls.back(), loopOf(r));
    }
    EXPECT_EQ(playedRows(), 20);
    EXPECT_EQ(c().lamp(Lamp::Step), kLampOn);
    page->step();
    EXPECT_EQ(snd.calls.back(), loopOf(1));
    EXPECT_EQ(playedRows(), 1);
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(loopCalls(), 21);
    page->stop();
    EXPECT_EQ(c().lamp(Lamp::Step), kLampOff);
}

TEST_F(SequencerTest, LoopRestartsAtRowOne) {
    page->loop();
    EXPECT_EQ(c().lamp(Lamp::Loop), kLampOn);
    page->play();
    for (int i = 0; i < 20; ++i)
        page->tick();
    EXPECT_EQ(playedRows(), 20);
    page->tick();
    EXPECT_TRUE(page->playing());
    EXPECT_EQ(playedRows(), 0);
    EXPECT_EQ(page->interval(), 100); // length[21]
    snd.calls.clear();
    page->tick();
    EXPECT_EQ(snd.calls, std::vector<FakeSound::Call>{loopOf(1)});
    EXPECT_EQ(c().indicator[0], kRowPlayed);
    page->loop();
    EXPECT_EQ(c().lamp(Lamp::Loop), kLampOff);
}

TEST_F(SequencerTest, FullDuplexRecordsEachStep) {
    page->fullDuplex();
    page->play();
    snd.calls.clear();
    page->tick();
    auto expected = endRecording(0);
    expected.push_back(loopOf(1));
    auto start = startRecording();
    expected.insert(expected.end(), start.begin(), start.end());
    EXPECT_EQ(snd.calls, expected);

    // Row 1's capture: left at half scale (00 40), right silent.
    snd.onSave = [](const std::string& p) {
        std::string data(48, '\0');
        for (int i = 0; i < 100; ++i)
            data += std::string("\x00\x40\x00\x00", 4);
        writeText(p, data);
    };
    snd.calls.clear();
    page->tick();
    expected = endRecording(1);
    expected.push_back(loopOf(2));
    expected.insert(expected.end(), start.begin(), start.end());
    EXPECT_EQ(snd.calls, expected);
    EXPECT_EQ(c().left[1], "-1.020");
    EXPECT_EQ(c().right[1], " 0");
    EXPECT_EQ(c().left[2], "");
}

TEST_F(SequencerTest, NoRecordingWithFullDuplexOff) {
    page->play();
    for (int i = 0; i < 21; ++i)
        page->tick();
    for (auto& call : snd.calls)
        EXPECT_TRUE(call.kind == FakeSound::Call::Play || call.text == "close all") << call.text;
}

TEST_F(SequencerTest, StopReturnsToIdle) {
    page->play();
    page->tick();
    snd.calls.clear();
    page->stop();
    auto expected = stopCalls();
    expected.push_back(FakeSound::mci("close all"));
    EXPECT_EQ(snd.calls, expected);
    EXPECT_EQ(page->stepIndex(), 0);
    EXPECT_EQ(page->interval(), 0);
    EXPECT_EQ(playedRows(), 0);
}

TEST_F(SequencerTest, PlayEmptiesTheReadingsAndTakesTheTableIn) {
    c().left[3] = " 1";
    c().right[3] = " 1";
    c().attL[0] = "50";
    c().attR[0] = "100"; // its own test: ignored
    snd.calls.clear();
    page->play();
    EXPECT_EQ(c().left[3], "");
    EXPECT_EQ(c().status, std::string(15, ' '));
    EXPECT_EQ(page->table().attL[1], 50);
    EXPECT_EQ(page->table().attR[1], 3);
    auto expected = std::vector<FakeSound::Call>{FakeSound::mci("close all")};
    auto stops = stopCalls();
    expected.insert(expected.end(), stops.begin(), stops.end());
    EXPECT_EQ(snd.calls, expected);
}

} // namespace
} // namespace qelvar::construct::testing

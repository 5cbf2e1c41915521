// Full-duplex takes: late results, failed rows, the notes line, a device still opening.
#include "page_fixture.h"

#include <set>

namespace qelvar::construct::testing {
namespace {

using audio::Readiness;
using State = audio::TakeResult::State;

const std::string kNothing = "nothing came back from the input; check the input device";
const std::string kClipped = "the input reached full scale; turn the input level down";

const std::vector<int> kAllRows{1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

class TakesTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        page->fullDuplex();
        halfScaleCaptures(); // no failed row may show its reading
    }
    void sweep() {
        page->play();
        runToEnd();
        ASSERT_FALSE(page->playing());
    }
    // The rows that read nothing; every other row reads the half-scale capture.
    void expectRows(const std::set<int>& empty) {
        for (int r = 1; r <= kRows; ++r)
            EXPECT_EQ(c().left[r] + "|" + c().right[r], empty.count(r) ? "|" : "-1.020| 0")
                << "row " << r;
    }
};

TEST_F(TakesTest, FailedTakesLeaveTheirRowsEmptyAndNamed) {
    for (int r : {1, 2, 3, 4, 7})
        snd.results[page->captureFile(r)] = {State::Failed, kNothing};
    snd.results[page->captureFile(9)] = {State::Unknown, ""};
    snd.results[page->captureFile(12)] = {State::Suspect, kClipped};
    sweep();
    expectRows({1, 2, 3, 4, 7, 9}); // the suspect row keeps its reading
    EXPECT_EQ(c().measureNotes, "Rows 1-4, 7: " + kNothing +
                                    ". Row 9: the recording was not saved. Row 12: " + kClipped +
                                    ".");
    EXPECT_EQ(std::tuple(page->rowFailed(9), page->rowFailed(12), page->takesPending()),
              std::tuple(true, false, false));
    snd.results.clear(); // PLAY forgets the last run's troubles
    sweep();
    expectRows({});
    EXPECT_EQ(std::tuple(c().measureNotes, page->rowFailed(9)), std::tuple(std::string(), false));
}

// The set-up's warnings lead the notes line from PLAY on, asked anew at
// each PLAY; a note that is no warning, and half duplex, say nothing.
TEST_F(TakesTest, SetupWarningsLeadTheNotesLine) {
    snd.setup = {{true, "the output \"loop\" is at 60 % (-13.3 dB)"},
                 {false, "the input is the monitor of the output"},
                 {true, "the output \"dut\" is a LADSPA effects sink"}};
    snd.results[page->captureFile(4)] = {State::Failed, kNothing};
    page->play();
    EXPECT_EQ(c().measureNotes, "Set-up: the output \"loop\" is at 60 % (-13.3 dB). The output "
                                "\"dut\" is a LADSPA effects sink.");
    runToEnd();
    EXPECT_EQ(c().measureNotes, "Set-up: the output \"loop\" is at 60 % (-13.3 dB). The output "
                                "\"dut\" is a LADSPA effects sink. Row 4: " +
                                    kNothing);
    snd.setup.resize(2);
    snd.results.clear();
    sweep();
    EXPECT_EQ(c().measureNotes, "Set-up: the output \"loop\" is at 60 % (-13.3 dB).");
    page->fullDuplex();
    sweep();
    EXPECT_EQ(c().measureNotes, "");
}

TEST_F(TakesTest, ResultsThatComeAfterTheSweepFillTheirRows) {
    snd.result = {State::Pending, ""};
    sweep();
    expectRows({kAllRows.begin(), kAllRows.end()});
    EXPECT_TRUE(page->takesPending());
    page->pollTakes(); // still pending: nothing changes
    EXPECT_EQ(c().left[1], "");
    snd.result = {State::Good, ""};
    snd.results[page->captureFile(5)] = {State::Failed, kNothing};
    page->pollTakes();
    expectRows({5});
    EXPECT_EQ(std::tuple(c().measureNotes, page->takesPending()),
              std::tuple("Row 5: " + kNothing, false));
}

TEST_F(TakesTest, AnEarlierRunsLateResultsAreIgnored) {
    snd.result = {State::Pending, ""};
    page->play();
    ticks(3); // rows 1 and 2 recorded
    ASSERT_TRUE(page->takesPending());
    page->play();
    snd.result = {State::Good, ""};
    snd.results[page->captureFile(1)] = {State::Failed, kNothing};
    page->pollTakes();
    EXPECT_EQ(std::tuple(c().left[2], c().measureNotes, page->rowFailed(1), page->takesPending()),
              std::tuple("", "", false, false));
}

TEST_F(TakesTest, FailedRowsStayOutOfTheGraphAndTheCalibration) {
    MeasureSettings& m = page->measurement();
    std::tie(m.calL[3], m.calR[3], m.calL[5]) = std::tuple(1.5, -2.0, 0.25);
    snd.results[page->captureFile(3)] = {State::Failed, kNothing};
    snd.results[page->captureFile(5)] = {State::Unknown, ""};
    sweep();
    page->setCal();
    EXPECT_EQ(std::tuple(m.calL[3], m.calR[3], m.calL[5], m.calR[4]), std::tuple(1.5, -2, 0.25, 0));
    EXPECT_DOUBLE_EQ(m.calL[4], 1.02);
    ASSERT_TRUE(page->viewGraph());
    const auto lines = crlfLines(readText(dir / "wavgraphdata"));
    ASSERT_EQ(lines.size(), 80u);
    for (int r = 1; r <= kRows; ++r) {
        const bool failed = r == 3 || r == 5;
        EXPECT_EQ(lines[4 * r - 4] + " " + lines[4 * r - 1], failed ? "0 0" : "-1.02 1") << r;
    }
}

// VIEW GRAPH early in a sweep plots the rows measured so far, not the rows
// to come as 0 dB; once the sweep is in, every row.
TEST_F(TakesTest, ViewGraphDuringASweepPlotsOnlyTheRowsMeasured) {
    page->play();
    ticks(5); // rows 1 to 4 recorded
    page->pollTakes();
    ASSERT_TRUE(page->viewGraph());
    auto lines = crlfLines(readText(dir / "wavgraphdata"));
    ASSERT_EQ(lines.size(), 80u);
    int plotted = 0;
    for (int r = 1; r <= kRows; ++r) {
        const std::string row = lines[4 * r - 4] + " " + lines[4 * r - 1];
        EXPECT_TRUE(row == "-1.02 1" || row == "0 0") << r << ": " << row;
        plotted += row == "-1.02 1";
        if (r > 5) {
            EXPECT_EQ(row, "0 0") << r;
        }
    }
    EXPECT_GE(plotted, 3);
    runToEnd();
    ASSERT_TRUE(page->viewGraph());
    lines = crlfLines(readText(dir / "wavgraphdata"));
    for (int r = 1; r <= kRows; ++r)
        EXPECT_EQ(lines[4 * r - 4] + " " + lines[4 * r - 1], "-1.02 1") << r;
}

// PLAY's first tick holds while the device opens, then every step plays.
TEST_F(TakesTest, TheFirstTickWaitsForTheDeviceToOpen) {
    const int never = -1, givesUp = PageModel::kOpeningWaitTicks;
    // The device's state, the waiting ticks until it is ready, full duplex, the ticks waited
    // (none when nothing is recorded).
    const std::tuple<Readiness, int, bool, int> cases[] = {
        {Readiness::Opening, 3, true, 3},
        {Readiness::Opening, never, true, givesUp},
        {Readiness::Failed, never, true, 0},
        {Readiness::Opening, never, false, 0}};
    for (auto [state, readyAfter, duplex, waited] : cases) {
        SCOPED_TRACE(waited);
        open();
        if (duplex)
            page->fullDuplex();
        snd.ready = state;
        page->play();
        snd.calls.clear();
        int waits = 0;
        for (; waits < 100; ++waits) {
            if (waits == readyAfter)
                snd.ready = Readiness::Ready;
            page->tick();
            if (!snd.calls.empty())
                break;
            EXPECT_EQ(std::tuple(c().status, page->interval()),
                      std::tuple("    Opening the sound device...", 100));
        }
        EXPECT_EQ(std::tuple(waits, c().status), std::tuple(waited, std::string(15, ' ')));
        runToEnd();
        EXPECT_EQ(loopedSteps(), kAllRows);
    }
}

} // namespace
} // namespace qelvar::construct::testing

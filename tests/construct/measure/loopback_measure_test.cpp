// Whole measured sweeps through the private loopback server: every row
// reads what a perfect loopback of its step file reads.
#include "audio/pulse_sound.h"
#include "construct/measure/capture_files.h"
#include "construct/measure/measure.h"
#include "construct/page_model.h"
#include "run_sequence.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace qelvar::construct;
using namespace std::chrono;

namespace {

// A capture of `n` bytes as a bit-exact loopback records the step file's frames.
std::vector<unsigned char> perfectCapture(const std::vector<unsigned char>& stepFile,
                                          std::size_t n) {
    std::vector<unsigned char> out(stepFile.begin(), stepFile.begin() + 44);
    std::size_t data = stepFile.size() - 44;
    for (std::size_t i = 0; out.size() < n && data > 0; ++i)
        out.push_back(stepFile[44 + i % data]);
    out.resize(std::max<std::size_t>(n, 44), 0);
    return out;
}

// Where a capture sits in its step file's loop: the frame of the loop its
// first frame copies, and how many frames on it stays a copy ("at 0, all
// 23520 of 23520" is a perfect capture). A misreading's message says this.
std::string placement(const std::vector<unsigned char>& stepFile,
                      const std::vector<unsigned char>& capture) {
    const std::size_t loop = (stepFile.size() - 44) / 4, frames = (capture.size() - 44) / 4;
    const auto sameFrame = [&](std::size_t c, std::size_t s) {
        return std::memcmp(&capture[44 + 4 * c], &stepFile[44 + 4 * s], 4) == 0;
    };
    for (std::size_t at = 0; at < loop && frames > 0; ++at) {
        std::size_t same = 0;
        while (same < frames && sameFrame(same, (at + same) % loop))
            ++same;
        if (same >= std::min<std::size_t>(frames, 64))
            return "capture at frame " + std::to_string(at) + " of its loop of " +
                   std::to_string(loop) + ", a copy for " + std::to_string(same) + " of its " +
                   std::to_string(frames) + " frames";
    }
    return "capture of " + std::to_string(frames) + " frames: no 64 frames of it copy its loop";
}

using qelvar::construct::testing::runSequence;
using qelvar::test::commandOutput;

class LoopbackMeasure : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER")) // set by the CTest fixture `pulse`
            GTEST_SKIP() << "needs the private loopback server (scripts/pulse-private)";
        openPage({}, true);
    }
    void openPage(qelvar::audio::SoundOptions devices, bool settle) {
        page.reset();
        snd = std::make_unique<qelvar::audio::SystemSound>(std::move(devices));
        if (settle) {
            ASSERT_TRUE(snd->waitReady(seconds(60))) << snd->statusText();
        }
        page = std::make_unique<PageModel>(*snd, (dir / ""));
        page->open();
        page->autobuildAll();
        page->fullDuplex();
    }
    void TearDown() override {
        if (page)
            page->Stopplay();
    }
    // PLAY to the end (`passes` times round with LOOP on), `before` ahead of each attempt;
    // a sweep the sound path flagged (an xrun, a troubled take) is taken again, after
    // longer pauses each time: a busy host can trouble the path for most of a minute.
    bool cleanSweep(int passes = 1, const std::function<void()>& before = {}, int attempts = 7) {
        for (int attempt = 1; attempt <= attempts; ++attempt) {
            if (before)
                before();
            auto xruns = snd->inputOverflows() + snd->outputUnderflows();
            page->play();
            runSequence(*page, passes);
            if (passes > 1)
                page->stop();
            EXPECT_FALSE(page->playing());
            const bool troubled = !page->controls().measureNotes.empty();
            if (troubled)
                std::printf("sweep troubled (attempt %d): %s\n", attempt,
                            page->controls().measureNotes.c_str());
            if (snd->inputOverflows() + snd->outputUnderflows() == xruns && !troubled)
                return true;
            std::this_thread::sleep_for(seconds(2 * attempt)); // idle: the path lines up again
        }
        return false;
    }
    // Row r against a perfect loopback of its step file as long as the capture: within
    // 0.01 dB (0.05 dB for the two top rows, which a converting path may lower by 0.01 dB).
    void checkRow(int r) {
        const auto stepFile = qelvar::test::readBytes(page->stepFile(r));
        ASSERT_GT(stepFile.size(), 44u) << "row " << r;
        const auto capture = qelvar::test::readBytes(page->captureFile(r));
        const auto [l, rt] = captest::referenceLevels(perfectCapture(stepFile, capture.size()));
        const double within = r <= 18 ? 0.0105 : 0.0505; // the boxes show 3 decimals
        const double boxL = boxValue(page->controls().left[r]),
                     boxR = boxValue(page->controls().right[r]);
        EXPECT_LT(l, -0.5) << "row " << r << ": a step file with no level";
        if (std::abs(boxL - l) > within || std::abs(boxR - rt) > within)
            ADD_FAILURE() << "row " << r << " reads " << boxL << " " << boxR << ", not " << l << " "
                          << rt << ": " << placement(stepFile, capture)
                          << "; notes: " << page->controls().measureNotes;
    }
    // Every row; a failing sweep's step and capture files are kept in the
    // temporary folder, to look into.
    void checkRows() {
        for (int r = 1; r <= kRows; ++r)
            checkRow(r);
        if (HasFailure())
            qelvar::test::keepFolder(dir.path,
                                     std::filesystem::temp_directory_path() /
                                         ("qelvar-loopback-" + std::to_string(::getpid())));
    }
    captest::TempDir dir;
    std::unique_ptr<qelvar::audio::SystemSound> snd;
    std::unique_ptr<PageModel> page;
};

TEST_F(LoopbackMeasure, SweepReadsItsStepFilesAndCalibratesToZero) {
    ASSERT_TRUE(cleanSweep()) << "the sound path was troubled in every attempt";
    checkRows();
    page->setCal(); // then a second sweep reads 0 everywhere
    page->useCal();
    ASSERT_TRUE(cleanSweep()) << "the sound path was troubled in every attempt";
    const MeasureSettings& cal = page->measurement();
    for (int r = 1; r <= kRows; ++r) { // the boxes show 0 within 0.1 dB; the sums are closer
        Reading raw = peakread(page->captureFile(r), r, MeasureSettings{});
        EXPECT_NEAR(raw.left + cal.calL[r], 0.0, 0.05) << "row " << r;
        EXPECT_NEAR(raw.right + cal.calR[r], 0.0, 0.05) << "row " << r;
        EXPECT_EQ(page->controls().left[r] + page->controls().right[r], " 0 0") << "row " << r;
    }
}

// PLAY while the sound device is still opening: the sequence waits, losing no step.
TEST_F(LoopbackMeasure, PlayBeforeTheDeviceIsOpenLosesNoStep) {
    ASSERT_TRUE(cleanSweep(1, [this] { openPage({}, false); }))
        << "the sound path was troubled in every attempt";
    checkRows();
}

// A sink whose monitor is not the input: nothing comes back, and no row reads.
TEST_F(LoopbackMeasure, NothingComingBackIsReportedNotRead) {
    const std::string module =
        commandOutput("pactl load-module module-null-sink sink_name=qelvar_quiet rate=44100");
    ASSERT_FALSE(module.empty());
    openPage({"", "qelvar_quiet.monitor"}, true);
    page->play();
    runSequence(*page);
    commandOutput("pactl unload-module " + module);
    // The set-up check says why before the sweep plays. PipeWire may stop
    // feeding a capture of an idle sink's monitor at all; the rows from
    // there on then name the stopped device instead.
    const std::string notes = page->controls().measureNotes;
    const std::string why = "Set-up: the input .* is the monitor of .*, which the program does not "
                            "play to, so nothing played comes back; choose the input the output "
                            "is wired to\\. ";
    const std::string nothing = "nothing came back from the input; check the input device";
    const std::string stopped = "the sound device stopped; check the sound server and play again";
    EXPECT_TRUE(std::regex_match(notes, std::regex(why + "Rows 1-20: " + nothing)) ||
                std::regex_match(notes, std::regex(why + "Rows? 1(-[0-9]+)?: " + nothing +
                                                   "\\. Rows? [0-9]+(-20)?: " + stopped + "\\.?")))
        << notes;
    for (int r = 1; r <= kRows; ++r) {
        EXPECT_EQ(page->controls().left[r] + page->controls().right[r], "") << "row " << r;
        EXPECT_FALSE(std::filesystem::exists(page->captureFile(r))) << "row " << r;
    }
}

// The server's own process (its first "PID NAME" line naming `name`).
long serverPid(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::ifstream in(std::string(runtime ? runtime : "") + "/server.pids");
    long pid = 0;
    for (std::string n; in >> pid >> n;)
        if (n == name)
            return pid;
    return 0;
}

// Timing faults through the real server a second into a sweep: the sink
// suspended for 100 ms, the server stopped for 100 ms, and on PipeWire its
// quantum (the graph's period) forced from 1024 to 256 frames, which moves
// the path for the rest of the sweep. A row the fault spoilt is marked
// (empty, or named in the notes); an unmarked row reads what its step file
// reads through a wire.
TEST_F(LoopbackMeasure, TimingFaultsAreMarkedNeverReadUnmarked) {
    const char* which = std::getenv("QELVAR_TEST_SERVER");
    const bool pipewire = which && std::string(which) == "pipewire";
    const long server = serverPid(pipewire ? "pipewire" : "pulseaudio");
    ASSERT_GT(server, 0) << "no server pid in XDG_RUNTIME_DIR/server.pids";
    const auto forceQuantum = [](int frames) {
        commandOutput("pw-metadata -n settings 0 clock.force-quantum " + std::to_string(frames) +
                      " >/dev/null 2>&1");
    };
    std::vector<std::pair<const char*, std::function<void()>>> faults = {
        {"sink suspended",
         [] {
             commandOutput("pactl suspend-sink loop 1");
             std::this_thread::sleep_for(milliseconds(100));
             commandOutput("pactl suspend-sink loop 0");
         }},
        {"server stopped", [server] {
             kill(static_cast<pid_t>(server), SIGSTOP);
             std::this_thread::sleep_for(milliseconds(100));
             kill(static_cast<pid_t>(server), SIGCONT);
         }}};
    if (pipewire)
        faults.emplace_back("quantum forced", [forceQuantum] { forceQuantum(256); });
    for (const auto& [what, fault] : faults) {
        SCOPED_TRACE(what);
        std::this_thread::sleep_for(seconds(2)); // the path lines up again after the last one
        page->play();
        std::thread at([&fault] {
            std::this_thread::sleep_for(milliseconds(1200));
            fault();
        });
        runSequence(*page);
        at.join();
        if (pipewire)
            forceQuantum(0); // the graph's own choice again
        int marked = 0;
        for (int r = 1; r <= kRows; ++r) {
            if (page->rowMarked(r))
                ++marked;
            else
                checkRow(r);
        }
        std::printf("%s: %d rows marked; notes: %s\n", what, marked,
                    page->controls().measureNotes.c_str());
        // PulseAudio tells of a suspend, and the row it spoilt says so.
        if (!pipewire && std::string(what) == "sink suspended") {
            EXPECT_NE(page->controls().measureNotes.find(
                          "the sound device was suspended while it played"),
                      std::string::npos);
        }
        // Then the path carries sound again, lined up afresh or opened
        // again (PipeWire's monitor of a suspended sink stays silent until
        // then).
        std::this_thread::sleep_for(seconds(3));
        ASSERT_TRUE(cleanSweep(1, {}, 3)) << "no clean sweep after the fault";
        checkRows();
    }
}

TEST_F(LoopbackMeasure, LoopedSweepReadsEachStepFile) {
    page->loop(); // the second pass reads rows 1..20 after a restart
    ASSERT_TRUE(cleanSweep(2)) << "the sound path was troubled in every attempt";
    checkRows();
}

} // namespace

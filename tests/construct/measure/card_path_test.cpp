// Whole measured sweeps through card-like paths: real LADSPA plugins (or the
// sink's own volume) between the output and the input on the private
// PulseAudio server (scripts/card-path). Every row must read what the
// plugin makes of the sequence as played, worked out offline by the same
// plugin under sox and read by the test's own level arithmetic; or be empty
// with the notes line saying why. A card is not a wire, and what it does to
// the sound is the measurement.
#include "audio/pulse_sound.h"
#include "construct/measure/measure.h"
#include "construct/page_model.h"
#include "run_sequence.h"
#include "support/card_truth.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace qelvar::construct;
using namespace std::chrono;
namespace card = qelvar::test::card;
using qelvar::test::commandOutput;

namespace {

const std::string kCardPath = QELVAR_CARD_PATH; // scripts/card-path

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

bool succeeds(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The rows a notes line names ("Rows 1-4, 7: why. Row 9: why.").
std::set<int> namedRows(const std::string& notes) {
    std::set<int> rows;
    for (std::size_t at = 0; (at = notes.find("Row", at)) != std::string::npos;) {
        at += notes.compare(at, 5, "Rows ") == 0 ? 5 : 4;
        const std::size_t end = notes.find(':', at);
        const std::string list = notes.substr(at, end - at);
        for (std::size_t i = 0; i < list.size();) {
            char* stop = nullptr;
            const long a = std::strtol(list.c_str() + i, &stop, 10);
            long b = a;
            std::size_t j = static_cast<std::size_t>(stop - list.c_str());
            if (j == i)
                break;
            if (j < list.size() && list[j] == '-') {
                b = std::strtol(list.c_str() + j + 1, &stop, 10);
                j = static_cast<std::size_t>(stop - list.c_str());
            }
            for (long r = a; r <= b; ++r)
                rows.insert(static_cast<int>(r));
            i = j;
            while (i < list.size() && (list[i] == ',' || list[i] == ' '))
                ++i;
        }
        if (end == std::string::npos)
            break;
        at = end;
    }
    return rows;
}

TEST(CardPathNotes, NamedRowsAreTheRowsTheLineLists) {
    EXPECT_EQ(namedRows(""), std::set<int>{});
    EXPECT_EQ(namedRows("Row 9: the recording was not saved"), std::set<int>{9});
    EXPECT_EQ(namedRows("Rows 1-4, 7: nothing came back; check 2 things"),
              (std::set<int>{1, 2, 3, 4, 7}));
    EXPECT_EQ(namedRows("Rows 2, 4-5: a. Rows 19-20: b."), (std::set<int>{2, 4, 5, 19, 20}));
}

// A program run beside the test (parecord, pacat), ended with it.
class Child {
  public:
    bool start(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        return pid_ > 0;
    }
    // parecord finishes its file's header on SIGINT.
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGINT);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    ~Child() { stop(); }

  private:
    pid_t pid_ = -1;
};

// A recording of a sink's monitor. An idle sink hands its monitor the first
// data only after about 2 s; a stream of zeros played into it meanwhile
// wakes it within milliseconds and adds nothing to what is played later.
class Recording {
  public:
    bool start(const std::string& sink, const std::string& file) {
        file_ = file;
        return recorder_.start({"parecord", "-d", sink + ".monitor", "--format=float32le",
                                "--rate=44100", "--channels=2", "--file-format=wav", file}) &&
               waker_.start({"pacat", "--playback", "-d", sink, "--raw", "--format=s16le",
                             "--rate=44100", "--channels=2", "/dev/zero"});
    }
    // Anything played before the recording has data would be missing from it.
    bool waitForData() {
        bool ok = false;
        for (auto end = steady_clock::now() + seconds(10); !ok && steady_clock::now() < end;
             std::this_thread::sleep_for(milliseconds(20))) {
            std::error_code ec;
            ok = std::filesystem::file_size(file_, ec) > 20000 && !ec;
        }
        waker_.stop();
        return ok;
    }
    void stop() {
        waker_.stop();
        recorder_.stop();
    }

  private:
    Child recorder_, waker_;
    std::string file_;
};

using qelvar::construct::testing::runSequence;

// One row's reading against its truth.
struct RowResult {
    int row = 0;
    std::int32_t frequency = 0;
    std::int64_t first = -1; // where the step first played
    std::int64_t frames = 0; // in its capture
    std::string boxL, boxR;
    double truthL = 0, truthR = 0;
    bool haveTruth = false;
    // Where the capture lies in the offline run (0: the ideal window), when
    // it is an exact copy of it somewhere near.
    std::optional<std::int64_t> at;
};

class CardPathSweep : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        const char* server = std::getenv("QELVAR_TEST_SERVER");
        if (!std::getenv("PULSE_SERVER")) // set by the CTest fixture `pulse`
            GTEST_SKIP() << "needs the private loopback server (scripts/pulse-private)";
        if (server && std::string(server) != "pulse")
            GTEST_SKIP() << "the card paths are PulseAudio modules";
        if (!succeeds(kCardPath + " have " + GetParam()) ||
            !succeeds("command -v parecord >/dev/null && command -v pacat >/dev/null"))
            GTEST_SKIP() << "sox, parecord, pacat or the LADSPA plugins of path " << GetParam()
                         << " are missing";
        // The plugins run at the sink's rate: at any other than the one played the
        // server resamples ahead of them, which the offline run does not.
        // The truth also rounds to 16 bits from 32 as the path through loop does.
        if (commandOutput("pactl list short sinks | awk '$2 == \"loop\" { print $4, $6 }'") !=
            "s32le 44100Hz")
            GTEST_SKIP() << "needs the private server's 32-bit loop sink at 44100 Hz";
        ASSERT_FALSE(commandOutput(kCardPath + " load " + GetParam()).empty())
            << "path " << GetParam() << " would not load";
        loaded = true;
    }
    void TearDown() override {
        if (page)
            page->Stopplay();
        page.reset();
        snd.reset();
        played.stop();
        if (loaded)
            succeeds(kCardPath + " unload");
    }

    // PLAY once to the end, the path's input recorded throughout.
    void sweep() {
        ASSERT_TRUE(played.start("cardpath", dir / "played.wav"));
        ASSERT_TRUE(played.waitForData()) << "the path's monitor gave no data";
        snd = std::make_unique<qelvar::audio::SystemSound>(qelvar::audio::SoundOptions{});
        ASSERT_TRUE(snd->waitReady(seconds(60))) << snd->statusText();
        page = std::make_unique<PageModel>(*snd, dir / "");
        page->open();
        page->autobuildAll();
        page->fullDuplex();
        page->play();
        runSequence(*page);
        EXPECT_FALSE(page->playing());
        EXPECT_FALSE(page->takesPending());
        page->Stopplay();
        std::this_thread::sleep_for(milliseconds(300)); // the last loops reach the monitor
        played.stop();
    }

    // The truth of every row: the offline run over the sequence as played,
    // read over the window the row's capture should hold, from where its
    // step first played.
    std::vector<RowResult> truths() {
        std::vector<RowResult> rows;
        const std::string filtered = dir / "filtered.wav";
        if (!succeeds(kCardPath + " truth " + GetParam() + " " + quoted(dir / "played.wav") + " " +
                      quoted(filtered))) {
            ADD_FAILURE() << "card-path truth failed";
            return rows;
        }
        std::string why;
        const card::Sound in = card::readWav(dir / "played.wav", &why);
        const card::Sound out = card::readWav(filtered, &why);
        EXPECT_EQ(in.channels, 2) << why;
        EXPECT_EQ(in.frames(), out.frames()) << "the offline run must keep every frame";
        std::vector<card::Sound> steps;
        for (int r = 1; r <= kRows; ++r)
            steps.push_back(card::readWav(page->stepFile(r)));
        const std::vector<std::int64_t> at = card::findSteps(in, steps);
        for (int r = 1; r <= kRows; ++r) {
            RowResult row;
            row.row = r;
            row.frequency = page->table().frequency[r];
            row.first = at[static_cast<std::size_t>(r - 1)];
            row.boxL = page->controls().left[r];
            row.boxR = page->controls().right[r];
            std::error_code ec;
            const auto size = std::filesystem::file_size(page->captureFile(r), ec);
            row.frames = ec ? 0 : (static_cast<std::int64_t>(size) - 44) / 4;
            if (row.first >= 0 && row.frames > 0) {
                std::tie(row.truthL, row.truthR) = card::truthLevels(out, row.first, row.frames);
                row.haveTruth = true;
                row.at = card::captureShift(out, row.first, card::readWav(page->captureFile(r)));
            }
            rows.push_back(row);
        }
        return rows;
    }

    static void print(const std::vector<RowResult>& rows, const std::string& notes) {
        std::printf("card path %s: %s\n", GetParam(),
                    commandOutput(kCardPath + " list | awk '$1 == \"" + GetParam() +
                                  "\" { $1 = \"\"; print substr($0, 2) }'")
                        .c_str());
        std::printf("row   freq    first  frames   box L  truth L    err L   box R  truth R    "
                    "err R   at\n");
        const auto num = [](bool have, const char* form, double v) {
            char out[24] = "-";
            if (have)
                std::snprintf(out, sizeof out, form, v);
            return std::string(out);
        };
        for (const RowResult& r : rows) {
            std::printf("%3d %6d %8lld %7lld", r.row, r.frequency, static_cast<long long>(r.first),
                        static_cast<long long>(r.frames));
            for (int c = 0; c < 2; ++c) {
                const std::string& box = c == 0 ? r.boxL : r.boxR;
                const double truth = c == 0 ? r.truthL : r.truthR;
                std::printf(
                    " %7s %8s %8s", box.empty() ? "-" : box.c_str(),
                    num(r.haveTruth, "%.4f", truth).c_str(),
                    num(r.haveTruth && !box.empty(), "%+.4f", boxValue(box) - truth).c_str());
            }
            const std::string at = r.at          ? num(true, "%+.0f", double(*r.at))
                                   : r.haveTruth ? "?"
                                                 : "-";
            std::printf(" %4s\n", at.c_str());
        }
        std::printf("notes: %s\n", notes.empty() ? "(none)" : notes.c_str());
        std::printf("(at: the frames by which the capture is an exact copy of the offline run "
                    "away from the ideal window; ? nowhere within 64)\n");
        std::fflush(stdout);
    }

    // The sweep's files (the sequence as played, the offline run, step and
    // capture files) kept in a folder named after the path: in
    // QELVAR_CARD_PATH_KEEP when it is set, and in the system's temporary
    // folder after a failure, to look into it.
    void keepFiles() {
        const char* keep = std::getenv("QELVAR_CARD_PATH_KEEP");
        if (keep && *keep)
            qelvar::test::keepFolder(dir.path, std::filesystem::path(keep) / GetParam());
        else if (HasFailure())
            qelvar::test::keepFolder(
                dir.path, std::filesystem::temp_directory_path() /
                              ("qelvar-card-path-" + std::to_string(::getpid())) / GetParam());
    }

    qelvar::test::TempDir dir;
    Recording played;
    std::unique_ptr<qelvar::audio::SystemSound> snd;
    std::unique_ptr<PageModel> page;
    bool loaded = false;
};

// Within 0.02 dB of the truth (0.05 dB for the two top rows), or empty with
// the notes line naming the row; and no frames lost on an idle machine.
TEST_P(CardPathSweep, EveryRowReadsThePathOrSaysWhyNot) {
    sweep();
    if (HasFatalFailure())
        return;
    const std::vector<RowResult> rows = truths();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
    const std::string notes = page->controls().measureNotes;
    print(rows, notes);
    EXPECT_EQ(notes.find("frames were lost"), std::string::npos) << notes;
    const std::set<int> named = namedRows(notes);
    for (const RowResult& r : rows) {
        if (r.boxL.empty() && r.boxR.empty()) {
            EXPECT_TRUE(named.count(r.row)) << "row " << r.row << " is empty, and the notes "
                                            << "line does not say why: " << notes;
            continue;
        }
        if (!r.haveTruth) {
            ADD_FAILURE() << "row " << r.row << " reads " << r.boxL << " " << r.boxR
                          << " but its step never played whole, or it has no capture";
            continue;
        }
        const double within = r.row <= 18 ? 0.02 : 0.05;
        const std::string where =
            r.at ? "; its capture is the truth " + std::to_string(*r.at) + " frames on" : "";
        EXPECT_NEAR(boxValue(r.boxL), r.truthL, within) << "row " << r.row << ", left" << where;
        EXPECT_NEAR(boxValue(r.boxR), r.truthR, within) << "row " << r.row << ", right" << where;
    }
    keepFiles();
}

// Names as scripts/card-path lists them. The noise path's truth adds other
// noise of the same level: over a row's window of a -3 dBFS tone the two
// readings differ by about 0.0005 dB (one standard deviation), far inside
// the tolerance.
// Under the sanitizers (twice as slow, and for the program's memory, not
// its readings) a filter and the sink's own volume.
#ifdef QELVAR_SANITIZED
INSTANTIATE_TEST_SUITE_P(Paths, CardPathSweep, ::testing::Values("lp2k", "vol60"),
                         [](const auto& info) { return std::string(info.param); });
#else
INSTANTIATE_TEST_SUITE_P(Paths, CardPathSweep,
                         ::testing::Values("ac", "lp2k", "lp8k", "rc2k", "rc15k", "hp250",
                                           "rchp200", "bump", "thd40", "thd60", "thd80", "clip",
                                           "h3", "half", "inv", "card", "vol60", "noise"),
                         [](const auto& info) { return std::string(info.param); });
#endif

} // namespace

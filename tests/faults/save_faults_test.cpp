// Saves that meet a full disk or a kill: the old file stays whole (or becomes
// the new one whole), no temporary is left, and a failure is reported.
#include "audio/fake_sound.h"
#include "common/files.h"
#include "construct/page_model.h"
#include "graph/graph_model.h"
#include "panel/panel_model.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qelvar;
using namespace qelvar::test;
using qelvar::audio::FakeSound;
using Names = std::vector<std::string>;

namespace {

// The names in `dir`: what a save left behind.
Names names(const fs::path& dir) {
    Names out;
    for (auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Runs `body` in a child whose files cannot grow past `limit` bytes (EFBIG, as
// on a full disk): the child's exit code, or 128 + signal.
int onFullDisk(rlim_t limit, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        ::_exit(body());
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

// Exit codes of the saving child.
constexpr int kReported = 0, kSucceeded = 1, kUnreported = 2;
int reported(bool said) {
    return said ? kReported : kUnreported;
}
constexpr rlim_t kFull = 8; // room for a few bytes: every set-up file is longer

} // namespace

TEST(FullDisk, PanelOffAndPageOffKeepTheOldFilesAndSaySo) {
    TempDir d(true);
    const std::string panelOld = "440\r\n48000\r\n\"ST L\"\r\n8\r\n.5\r\n.25\r\n";
    const std::string pageOld = "1000\r\n20\r\n30\r\n", calOld = "1.5\r\n-2.25\r\n";
    writeText(d.path / "wavoscsetup", panelOld);
    writeText(d.path / "tessalysetup", pageOld);
    writeText(d.path / "wavcaldata", calOld);
    EXPECT_EQ(onFullDisk(kFull,
                         [&] {
                             FakeSound snd;
                             panel::PanelModel panel(snd, d.path.string());
                             panel.memories().cur().frequency = 5000;
                             if (panel.off())
                                 return kSucceeded;
                             return reported(panel.status() ==
                                             "Cannot write " + d / "wavoscsetup" +
                                                 ": Off again closes without saving");
                         }),
              kReported);
    EXPECT_EQ(onFullDisk(kFull,
                         [&] {
                             FakeSound snd;
                             construct::PageModel page(snd, d.path.string());
                             page.open();
                             page.controls().freq[0] = "2000";
                             if (page.off())
                                 return kSucceeded;
                             return reported(page.controls().status ==
                                             "    Settings could not be saved.");
                         }),
              kReported);
    EXPECT_EQ(readText(d.path / "wavoscsetup"), panelOld);
    EXPECT_EQ(readText(d.path / "tessalysetup"), pageOld);
    EXPECT_EQ(readText(d.path / "wavcaldata"), calOld);
    // (Qelvarfiles is the HOME data folder, made empty on the way.)
    EXPECT_EQ(names(d.path), (Names{"Qelvarfiles", "tessalysetup", "wavcaldata", "wavoscsetup"}));
}

TEST(FullDisk, GraphExitKeepsTheOldPreferences) {
    TempDir home(true);
    fs::create_directory(home.path / "Qelvarfiles");
    const fs::path file = home.path / "Qelvarfiles" / "wavgraphsetup";
    const std::string old = "2\r\n1\r\n80\r\n-20\r\n1\r\n0\r\n";
    writeText(file, old);
    auto exitSave = [] {
        graph::GraphModel g;
        g.loadForm();
        g.prefs.rangedb = 120;
        return g.exitSave() ? kSucceeded : kReported;
    };
    EXPECT_EQ(onFullDisk(kFull, exitSave), kReported);
    EXPECT_EQ(readText(file), old);
    EXPECT_EQ(onFullDisk(RLIM_INFINITY, exitSave), kSucceeded); // with room it goes through
    EXPECT_NE(readText(file), old);
    EXPECT_EQ(names(file.parent_path()), Names{"wavgraphsetup"}); // no temporary, either way
}

TEST(KilledSave, TheFileIsAlwaysTheOldOrTheNewNeverATornOne) {
    TempDir d(true);
    const std::string path = d / "tessalysetup";
    // Two large files that differ in every byte and in length.
    const std::string a(1024 * 1024 + 7, 'a'), b(700 * 1024 + 3, 'b');
    ASSERT_TRUE(replaceFile(path, a));
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delay(0, 12000); // microseconds
    int sawB = 0;
    for (int round = 0; round < 120; ++round) {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0)
            for (unsigned i = 0;; ++i)
                replaceFile(path, (i & 1) ? b : a);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = readText(path);
        ASSERT_TRUE(now == a || now == b) << "torn file of " << now.size() << " bytes";
        sawB += now == b;
    }
    EXPECT_GT(sawB, 0);
    // Leftover temporaries go at start-up once a minute old, and nothing else.
    EXPECT_EQ(removeStaleTemporaries(d.path.string()), 0);
    for (auto& e : fs::directory_iterator(d.path))
        fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::minutes(2));
    removeStaleTemporaries(d.path.string());
    EXPECT_EQ(names(d.path), Names{"tessalysetup"});
}

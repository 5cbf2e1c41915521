// Faults around the data folder and replaceFile: a folder that takes no
// files, a full disk, a save killed half-way, and its leftovers.
#include "common/files.h"
#include "fault_helpers.h"

#include <chrono>
#include <random>
#include <thread>

using namespace qelvar;
using namespace qelvar::faults;

TEST(UnwritableDataFolder, AFileWhereTheFolderShouldBeRefusesEveryWrite) {
    // A plain file named Qelvarfiles stops root as well as anyone else.
    TempDir home;
    spit(home.path / "Qelvarfiles", "not a folder\n");
    HomeGuard guard(home.path.string());
    EXPECT_FALSE(ensureDataDir());
    EXPECT_FALSE(dirWritable(dataDir()));
    EXPECT_EQ(writeProblem(dataDir()), "Cannot write to " + home.path.string() + "/Qelvarfiles");
    EXPECT_FALSE(replaceFile(dataPath("wavoscsetup"), std::string_view("1000\r\n"), true));
    EXPECT_EQ(slurp(home.path / "Qelvarfiles"), "not a folder\n");
    EXPECT_EQ(strayFiles(home.path, {"Qelvarfiles"}), std::vector<std::string>{});
}

TEST(UnwritableDataFolder, AWritableFolderHasNoProblemAndKeepsNoProbe) {
    TempDir d;
    EXPECT_TRUE(dirWritable(d.path.string()));
    EXPECT_EQ(writeProblem(d.path.string()), "");
    EXPECT_EQ(strayFiles(d.path, {}), std::vector<std::string>{});
    EXPECT_FALSE(dirWritable(d / "missing"));
}

TEST(FullDisk, AFailedReplaceLeavesTheOldFileWholeAndNoTemporary) {
    TempDir d;
    const std::string old = "old settings\r\n440\r\n\"ST L\"\r\n";
    spit(d.path / "setup", old);
    const std::string big(64 * 1024, 'n');
    for (bool durable : {false, true}) {
        // 1000 bytes fit; the rest of the new file does not.
        const int rc = onFullDisk(1000, [&] { return replaceFile(d / "setup", big, durable); });
        EXPECT_EQ(rc, 0) << "replaceFile reported success on a full disk, durable " << durable;
        EXPECT_EQ(slurp(d.path / "setup"), old);
        EXPECT_EQ(strayFiles(d.path, {"setup"}), std::vector<std::string>{});
    }
    // Nothing fits at all: the same.
    EXPECT_EQ(onFullDisk(0, [&] { return replaceFile(d / "setup", std::string_view("x")); }), 0);
    EXPECT_EQ(slurp(d.path / "setup"), old);
    EXPECT_EQ(strayFiles(d.path, {"setup"}), std::vector<std::string>{});
}

namespace {

// A child that saves `a` and `b` in turn for ever; killed by the caller.
pid_t saveForever(const std::string& path, const std::string& a, const std::string& b) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (unsigned i = 0;; ++i)
            replaceFile(path, (i & 1) ? b : a);
    }
    return pid;
}

} // namespace

TEST(KilledSave, TheFileIsAlwaysTheOldOrTheNewNeverATornOne) {
    TempDir d;
    const std::string path = d / "tessalysetup";
    // Two large files that differ in every byte and in length, so any mix
    // of them or a cut shows.
    const std::string a(1024 * 1024 + 7, 'a');
    const std::string b(700 * 1024 + 3, 'b');
    ASSERT_TRUE(replaceFile(path, a));
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delay(0, 12000); // microseconds
    int sawB = 0, leftovers = 0;
    for (int round = 0; round < 120; ++round) {
        const pid_t child = saveForever(path, a, b);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = slurp(path);
        ASSERT_TRUE(now == a || now == b)
            << "torn file of " << now.size() << " bytes after round " << round;
        sawB += now == b;
        // A kill in the middle of a write leaves its temporary; start-up
        // cleaning takes it once it is a minute old, and nothing else.
        const std::vector<std::string> left = strayFiles(d.path, {"tessalysetup"});
        ASSERT_EQ(removeStaleTemporaries(d.path.string()), 0);
        for (const auto& n : left)
            fs::last_write_time(d.path / n,
                                fs::file_time_type::clock::now() - std::chrono::minutes(2));
        ASSERT_EQ(removeStaleTemporaries(d.path.string()), static_cast<int>(left.size()));
        ASSERT_EQ(slurp(path), now);
        leftovers += static_cast<int>(left.size());
    }
    // The kills landed at different moments of the loop.
    EXPECT_GT(sawB, 0);
    EXPECT_GT(leftovers, 0);
    EXPECT_EQ(strayFiles(d.path, {"tessalysetup"}), std::vector<std::string>{});
}

TEST(StaleTemporaries, OnlyOldFilesShapedLikeATemporaryGo) {
    TempDir d;
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    // Temporaries as mkstemp names them, and names that only look alike.
    const std::vector<std::string> stale = {".wavoscsetup.a1B2c3", ".tessalysetup.XXXXXX"};
    const std::vector<std::string> kept = {"wavoscsetup",   ".wavcaldata.abc", ".x.abc-de",
                                           "tessalyf1.wav", "..abcdef",        ".abcdefg",
                                           ".kzq.1234567",  "plain.a1B2c3"};
    for (const auto& n : stale)
        spit(d.path / n, "half a file");
    for (const auto& n : kept)
        spit(d.path / n, "keep");
    fs::create_directory(d.path / ".folder.abcdef");
    for (auto& e : fs::directory_iterator(d.path))
        fs::last_write_time(e.path(), old);
    spit(d.path / ".wavgraphsetup.Zz9Yy8", "a save under way"); // fresh: stays
    EXPECT_EQ(removeStaleTemporaries(d.path.string()), 2);
    std::vector<std::string> expect = kept;
    expect.push_back(".folder.abcdef");
    expect.push_back(".wavgraphsetup.Zz9Yy8");
    EXPECT_EQ(strayFiles(d.path, expect), std::vector<std::string>{});
    for (const auto& n : expect)
        EXPECT_TRUE(fs::exists(d.path / n)) << n;
    EXPECT_EQ(removeStaleTemporaries(d / "missing"), 0); // no folder: nothing happens
}

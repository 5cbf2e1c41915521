#include "common/files.h"
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace qelvar;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "qelvar-files-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
};
} // namespace

TEST(DataDir, LivesUnderHome) {
    TempDir home;
    std::string old = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", home.path.c_str(), 1);
    EXPECT_EQ(dataDir(), home.path.string() + "/Qelvarfiles");
    EXPECT_TRUE(ensureDataDir());
    EXPECT_TRUE(ensureDataDir()); // an existing folder is fine
    EXPECT_TRUE(fs::is_directory(home.path / "Qelvarfiles"));
    EXPECT_EQ(dataPath("wavoscsetup"), home.path.string() + "/Qelvarfiles/wavoscsetup");
    ::setenv("HOME", old.c_str(), 1);
}

TEST(ReplaceFile, ReplacesWholeAndLeavesNoTemporaryFiles) {
    TempDir d;
    std::string p = (d.path / "f").string();
    ASSERT_TRUE(replaceFile(p, std::string(1000, 'a'), true));
    ASSERT_TRUE(replaceFile(p, std::string_view("short")));
    EXPECT_EQ(*readWholeFile(p), "short");
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(d.path))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(ReplaceFile, AFailureLeavesTheOldFile) {
    TempDir d;
    std::string p = (d.path / "f").string();
    ASSERT_TRUE(replaceFile(p, std::string_view("old")));
    fs::permissions(d.path, fs::perms::owner_read | fs::perms::owner_exec);
    bool ok = replaceFile(p, std::string_view("new"));
    fs::permissions(d.path, fs::perms::owner_all);
    if (::geteuid() != 0) { // root writes anyway
        EXPECT_FALSE(ok);
    }
    EXPECT_FALSE(replaceFile((d.path / "missing" / "f").string(), std::string_view("x")));
    if (!ok) {
        EXPECT_EQ(*readWholeFile(p), "old");
    }
}

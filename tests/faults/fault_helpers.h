// Helpers for the fault tests: private folders, whole-file reads, and a
// child process that meets a full disk.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qelvar::faults {

namespace fs = std::filesystem;

// A private folder, set as HOME for the test's length.
struct TempDir {
    fs::path path;
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    TempDir() {
        std::string t = (fs::temp_directory_path() / "qelvar-faults-XXXXXX").string();
        path = ::mkdtemp(t.data());
        ::setenv("HOME", path.c_str(), 1);
    }
    ~TempDir() {
        ::setenv("HOME", oldHome.c_str(), 1);
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void spit(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// The names in `dir`: what a save left behind.
inline std::vector<std::string> names(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Runs `body` in a child whose files cannot grow past `limit` bytes: a
// write beyond it fails with EFBIG, as on a full disk (SIGXFSZ ignored).
// The child's exit code, or 128 + signal.
inline int onFullDisk(rlim_t limit, const std::function<int()>& body) {
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

} // namespace qelvar::faults

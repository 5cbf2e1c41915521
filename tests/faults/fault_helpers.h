// Helpers for the fault tests: the names in a folder, and a child process
// that meets a full disk.
#pragma once

#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qelvar::faults {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

// A private folder, HOME for the test's length.
struct TempDir : test::TempDir {
    TempDir() : test::TempDir(true) {}
};

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

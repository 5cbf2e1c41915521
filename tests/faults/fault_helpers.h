// Helpers for the fault tests: private folders, whole-file reads, and a
// child process that meets a full disk or a kill.
#pragma once

#include <gtest/gtest.h>

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

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "qelvar-faults-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

inline void spit(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// Names in `dir` other than `expected`: what a save left behind.
inline std::vector<std::string> strayFiles(const fs::path& dir,
                                           const std::vector<std::string>& expected) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        bool known = false;
        for (const auto& x : expected)
            known = known || n == x;
        if (!known)
            out.push_back(n);
    }
    return out;
}

// Runs `body` in a child process whose files cannot grow past `limit`
// bytes: a write beyond it fails with EFBIG, as on a full disk (SIGXFSZ is
// ignored so the write returns instead of killing). The child's exit code
// (body's result), or 128 + signal.
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

// Sets HOME for one test and puts it back afterwards.
class HomeGuard {
  public:
    explicit HomeGuard(const std::string& home) {
        if (const char* h = std::getenv("HOME"))
            old_ = h;
        ::setenv("HOME", home.c_str(), 1);
    }
    ~HomeGuard() { ::setenv("HOME", old_.c_str(), 1); }

  private:
    std::string old_;
};

} // namespace qelvar::faults

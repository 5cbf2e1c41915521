// Readers that only take a path get the input through a scratch file: one
// fixed name per process, overwritten on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qelvar::fuzz {

inline std::string scratchName() {
    return "/tmp/qelvar-fuzz-" + std::to_string(::getpid());
}

inline void removeScratch() {
    std::error_code ec;
    std::filesystem::remove_all(scratchName(), ec);
}

// A folder of this process's own under /tmp, made on first use and removed
// when the run ends normally.
inline const std::string& scratchDir() {
    static const std::string dir = [] {
        std::string d = scratchName();
        ::mkdir(d.c_str(), 0700);
        std::atexit(removeScratch);
        return d;
    }();
    return dir;
}

// Writes the bytes as `name` in the scratch folder and returns its path.
inline std::string writeScratch(const char* name, const std::uint8_t* data, std::size_t size) {
    std::string path = scratchDir() + "/" + name;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort(); // the harness itself is broken, not the reader
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            std::abort();
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

} // namespace qelvar::fuzz

#include "common/files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qelvar {

std::string dataDir() {
    const char* home = std::getenv("HOME");
    std::string base = (home && *home) ? home : ".";
    return base + "/Qelvarfiles";
}

std::string dataPath(std::string_view name) { return dataDir() + "/" + std::string(name); }

bool ensureDataDir() {
    std::error_code ec;
    std::filesystem::create_directories(dataDir(), ec);
    return std::filesystem::is_directory(dataDir(), ec);
}

namespace {

bool writeAll(int fd, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

bool replaceFile(const std::string& path, std::span<const unsigned char> bytes, bool durable) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    if (ok && durable)
        ok = ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    if (durable) {
        int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
    return true;
}

bool replaceFile(const std::string& path, std::string_view bytes, bool durable) {
    return replaceFile(path,
                       std::span<const unsigned char>(
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                       durable);
}

} // namespace qelvar

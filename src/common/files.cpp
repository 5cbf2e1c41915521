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

std::string dataPath(std::string_view name) {
    return dataDir() + "/" + std::string(name);
}

bool ensureDataDir() {
    std::error_code ec;
    std::filesystem::create_directories(dataDir(), ec);
    return std::filesystem::is_directory(dataDir(), ec);
}

bool dirWritable(const std::string& dir) {
    std::string probe = dir + "/.qelvar-probe.XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string writeProblem(const std::string& dir) {
    return dirWritable(dir) ? std::string() : "Cannot write to " + dir;
}

namespace {

// ".NAME.XXXXXX": what replaceFile's mkstemp template turns into.
bool isTemporaryName(const std::string& n) {
    const std::size_t dot = n.rfind('.');
    if (n.size() < 9 || n[0] != '.' || dot == std::string::npos || dot < 2 || n.size() - dot != 7)
        return false;
    for (std::size_t i = dot + 1; i < n.size(); ++i) {
        const char c = n[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace

int removeStaleTemporaries(const std::string& dir, std::chrono::seconds age) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto cutoff = fs::file_time_type::clock::now() - age;
    int removed = 0;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e;
        if (!isTemporaryName(it->path().filename().string()) || !it->is_regular_file(e))
            continue;
        const auto when = fs::last_write_time(it->path(), e);
        if (!e && when < cutoff && fs::remove(it->path(), e))
            ++removed;
    }
    return removed;
}

bool writeFully(int fd, const void* bytes, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(bytes);
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

bool replaceFile(const std::string& path, std::span<const unsigned char> bytes, bool durable) {
    return replaceFileBy(
        path, [&](int fd) { return writeFully(fd, bytes.data(), bytes.size()); }, durable);
}

bool replaceFileBy(const std::string& path, const std::function<bool(int fd)>& write,
                   bool durable) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    bool ok = write(fd);
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

bool overwriteFile(const std::string& path, std::span<const unsigned char> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeFully(fd, bytes.data(), bytes.size());
    ok = ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    return ::close(fd) == 0 && ok;
}

bool replaceFile(const std::string& path, std::string_view bytes, bool durable) {
    return replaceFile(path,
                       std::span<const unsigned char>(
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                       durable);
}

} // namespace qelvar

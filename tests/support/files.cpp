#include "support/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace qelvar::test {

TempDir::TempDir(bool asHome) : home_(asHome) {
    std::string t = (fs::temp_directory_path() / "qelvar-test-XXXXXX").string();
    if (!::mkdtemp(t.data()))
        throw std::runtime_error("no temporary folder");
    path = t;
    if (home_) {
        const char* h = std::getenv("HOME");
        oldHome_ = h ? h : "";
        ::setenv("HOME", t.c_str(), 1);
    }
}

TempDir::~TempDir() {
    if (home_)
        ::setenv("HOME", oldHome_.c_str(), 1);
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Bytes readBytes(const fs::path& p) {
    const std::string s = readText(p);
    return Bytes(s.begin(), s.end());
}

void writeText(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    return out;
}

std::string commandOutput(const std::string& command, bool all) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        for (int ch; (ch = std::fgetc(p)) != EOF;)
            out += static_cast<char>(ch);
        if (::pclose(p) != 0)
            out.clear();
    }
    return all ? out : out.substr(0, out.find('\n'));
}

void keepFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::remove_all(to, ec);
    fs::create_directories(to, ec);
    fs::copy(from, to, fs::copy_options::recursive, ec);
    std::printf("files kept in %s\n", to.c_str());
}

} // namespace qelvar::test

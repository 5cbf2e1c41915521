// Scratch folders and whole-file reads and writes for every test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qelvar::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with
// everything in it at the end. With `asHome` it is HOME meanwhile (the data
// folder is then path/Qelvarfiles, not made here).
struct TempDir {
    explicit TempDir(bool asHome = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;

  private:
    bool home_;
    std::string oldHome_;
};

std::string readText(const fs::path& p);
Bytes readBytes(const fs::path& p);
void writeText(const fs::path& p, const std::string& bytes);

// Little-endian 32-bit value at `at`.
inline std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// The text cut at CR LF; the part after the last CR LF is dropped.
std::vector<std::string> crlfLines(const std::string& text);

// What a shell command prints (its first line, or `all` of it); empty when
// it fails.
std::string commandOutput(const std::string& command, bool all = false);

// A failed run's scratch folder copied to `to` (replacing what was there),
// to look into; says where.
void keepFolder(const fs::path& from, const fs::path& to);

} // namespace qelvar::test

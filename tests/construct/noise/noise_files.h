// Helpers of the noise tests: a temporary folder, whole-file reads and the
// 16-bit codes of a file's frames.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace noisetest {

inline std::filesystem::path freshDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t offset) {
    return b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
           (static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

// Code of channel ch (0 left, 1 right) of frame n (from 1).
inline unsigned code(const std::vector<std::uint8_t>& b, std::size_t n, int ch) {
    std::size_t o = 44 + 4 * (n - 1) + 2 * static_cast<std::size_t>(ch);
    return b[o] | (b[o + 1] << 8);
}

// Codes back to signed sample values (negative values were stored + 65535).
inline std::vector<double> channel(const std::vector<std::uint8_t>& b, int ch, std::size_t first,
                                   std::size_t count) {
    std::vector<double> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        unsigned c = code(b, first + i, ch);
        v[i] = c <= 32767 ? static_cast<double>(c) : static_cast<double>(c) - 65535.0;
    }
    return v;
}

} // namespace noisetest

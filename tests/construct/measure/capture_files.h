// Helpers for tests that read capture files: a private folder, crafted
// capture files, and a literal, whole-file transcription of the level
// arithmetic to compare the streaming reader with.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace captest {

class TempDir {
  public:
    TempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "qelvar-measure-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string("/tmp");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A 44-byte header (contents do not matter to the reader) followed by
// frames of 16-bit little-endian left/right samples.
inline std::vector<unsigned char> capture(const std::vector<std::pair<int, int>>& frames) {
    std::vector<unsigned char> b = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                    'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                    2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                    0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    for (auto [l, r] : frames) {
        auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(l));
        auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(r));
        b.push_back(static_cast<unsigned char>(u & 0xFF));
        b.push_back(static_cast<unsigned char>(u >> 8));
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>(v >> 8));
    }
    return b;
}

inline std::vector<unsigned char> constantCapture(int left, int right, int frames) {
    return capture(
        std::vector<std::pair<int, int>>(static_cast<std::size_t>(frames), {left, right}));
}

// The arithmetic step by step as written down for the system: the bytes as
// entries 1..n, F = floor((n − 53) ÷ 4), frames 0..F computed, 1..F summed.
// Raw levels only (no offset, no calibration, no zero band).
inline std::pair<double, double> referenceLevels(const std::vector<unsigned char>& file) {
    long long n = static_cast<long long>(file.size());
    if (n < 1)
        n = 4;
    std::vector<int> e(static_cast<std::size_t>(n) + 1, 0);
    for (std::size_t k = 0; k < file.size(); ++k)
        e[k + 1] = file[k];
    long long F = static_cast<long long>(std::floor((static_cast<double>(n) - 53.0) / 4.0));
    std::vector<double> L(static_cast<std::size_t>(n / 4) + 1, 0), R(L.size(), 0);
    for (long long i = 0; i <= F; ++i) {
        auto at = [&](long long k) { return e[static_cast<std::size_t>(k)]; };
        double m = at(4 * i + 50) * 255 + at(4 * i + 49);
        if (m > 32640)
            m = std::fabs(m - 65280);
        L[static_cast<std::size_t>(i + 1)] = m;
        m = at(4 * i + 52) * 255 + at(4 * i + 51);
        if (m > 32640)
            m = std::fabs(m - 65280);
        R[static_cast<std::size_t>(i + 1)] = m;
    }
    auto level = [&](const std::vector<double>& a) {
        double sum = 0;
        for (long long i = 1; i <= F; ++i)
            sum += a[static_cast<std::size_t>(i)];
        double mean = F < 1 ? 0 : sum / static_cast<double>(F);
        return mean > 0 ? 20 * std::log(mean / 32640) / 2.302585 + 5 : 0.0;
    };
    return {level(L), level(R)};
}

} // namespace captest

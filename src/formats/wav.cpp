#include "formats/wav.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>

namespace qelvar::wav {

namespace {

double amplitude(double full, double s, double g) {
    return (full * s) / (2.0 / g);
}

// floor(code ÷ 256^j) mod 256, for a code that may fall outside the width.
std::uint8_t byteOf(std::int64_t code, int j) {
    std::int64_t v = code >> (8 * j);
    return static_cast<std::uint8_t>(((v % 256) + 256) % 256);
}

} // namespace

std::uint8_t encode8(double s, double g) {
    if (!(g > 0.0))
        return 127;
    return byteOf(roundEven(127.0 + amplitude(255.0, s, g)), 0);
}

std::array<std::uint8_t, 2> encode16(double s, double g) {
    if (!(g > 0.0))
        return {0, 0};
    double code = amplitude(65535.0, s, g);
    if (s < 0)
        code += 65535.0;
    code = std::clamp(code, 0.0, 65535.0);
    std::int64_t c = roundEven(code);
    return {byteOf(c, 0), byteOf(c, 1)};
}

std::array<std::uint8_t, 3> encode24(double s, double g) {
    if (!(g > 0.0))
        return {0, 0, 0};
    double code = amplitude(16777215.0, s, g);
    if (s < 0)
        code += 16777215.0;
    std::int64_t c = roundEven(code);
    return {byteOf(c, 0), byteOf(c, 1), byteOf(c, 2)};
}

FileImage::FileImage(std::size_t lastElement) : buf_(lastElement + 1, 0) {}

void FileImage::putConstantHeader() {
    static constexpr std::array<std::pair<std::size_t, std::string_view>, 4> tags{
        {{1, "RIFF"}, {9, "WAVE"}, {13, "fmt "}, {37, "data"}}};
    for (auto [k, tag] : tags)
        for (std::size_t i = 0; i < 4; ++i)
            buf_[k + i] = static_cast<std::uint8_t>(tag[i]);
    buf_[18] = buf_[19] = buf_[20] = 0;
    buf_[21] = 1;
    buf_[22] = 0;
    buf_[24] = 0;
    buf_[34] = 0;
    buf_[36] = 0;
}

void FileImage::writeField32(std::size_t first, std::uint32_t value) {
    for (int j = 0; j < 4; ++j)
        buf_[first + static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(value >> (8 * j));
}

void FileImage::writeField16(std::size_t first, std::uint16_t value) {
    buf_[first] = static_cast<std::uint8_t>(value);
    buf_[first + 1] = static_cast<std::uint8_t>(value >> 8);
}

void FileImage::setFormat(int channels, std::uint32_t rate, int bits) {
    buf_[17] = 16;
    buf_[23] = static_cast<std::uint8_t>(channels);
    writeField32(25, rate);
    buf_[35] = static_cast<std::uint8_t>(bits);
}

void FileImage::setDataLength(std::uint32_t L) {
    writeField32(41, L);
}
void FileImage::setRiffLength(std::uint32_t L) {
    writeField32(5, L + 36);
}
void FileImage::setByteRate(std::uint32_t byteRate) {
    writeField32(29, byteRate);
}
void FileImage::setBlockAlign(int blockAlign) {
    buf_[33] = static_cast<std::uint8_t>(blockAlign);
}

void FileImage::put(std::size_t k, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        buf_[k + i] = bytes[i];
}

} // namespace qelvar::wav

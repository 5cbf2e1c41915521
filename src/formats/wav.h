// The WAV file image shared by every builder: a byte buffer whose element k
// holds byte k of the file counted from 1 (element 0 is always 0), the
// 44-byte PCM header and the 8-, 16- and 24-bit sample encoders.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qelvar::wav {

// Sample encoders: s is the sine value, g the channel's linear gain. The
// scaled amplitude is a = (F × s) ÷ (2 ÷ g) with F the width's full scale;
// negative amplitudes are stored as round(a + F). A gain of 0 (or below)
// gives the width's zero level rather than dividing by zero.
std::uint8_t encode8(double s, double g);
std::array<std::uint8_t, 2> encode16(double s, double g);
std::array<std::uint8_t, 3> encode24(double s, double g);

// Bytes 1-44 of every PCM header that never change: "RIFF", "WAVE",
// "fmt ", 16, PCM, "data". The format fields are filled per build.
class FileImage {
  public:
    // Elements 0..lastElement, all zero.
    explicit FileImage(std::size_t lastElement);

    std::uint8_t& operator[](std::size_t k) { return buf_[k]; }
    std::uint8_t operator[](std::size_t k) const { return buf_[k]; }
    std::size_t lastElement() const { return buf_.size() - 1; }
    std::uint8_t* data() { return buf_.data(); }

    // Puts the constant header bytes into elements 1..44.
    void putConstantHeader();

    // Little-endian 32-bit number field whose first (least significant)
    // byte is element `first`.
    void writeField32(std::size_t first, std::uint32_t value);
    void writeField16(std::size_t first, std::uint16_t value);

    // Header fields of one build: channels, rate, bits and data length L.
    void setFormat(int channels, std::uint32_t rate, int bits);
    void setDataLength(std::uint32_t L);      // bytes 41-44
    void setRiffLength(std::uint32_t L);      // bytes 5-8 = L + 36
    void setByteRate(std::uint32_t byteRate); // bytes 29-32
    void setBlockAlign(int blockAlign);       // byte 33

    // Stores an encoded sample (1, 2 or 3 bytes) starting at element k.
    void put(std::size_t k, std::span<const std::uint8_t> bytes);

    // Elements 1..count as file bytes (file offsets 0..count-1).
    std::span<const std::uint8_t> fileBytes(std::size_t count) const {
        return {buf_.data() + 1, count};
    }

  private:
    std::vector<std::uint8_t> buf_;
};

} // namespace qelvar::wav

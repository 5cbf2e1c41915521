// The oscillator's 14 memories and their set-up file "wavoscsetup".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelvar::panel {

struct Memory {
    std::int32_t frequency = 1000;
    std::int32_t rate = 44100;
    std::string mode = "ST L+R";
    std::int16_t bits = 16;
    double gainL = 0.7;
    double gainR = 0.7;
};

class Memories {
  public:
    static constexpr int count = 14;

    // Slot 0 exists but is never used, shown or saved.
    std::array<Memory, count + 1> slot{};
    std::int16_t current = 1;

    Memory& cur() { return slot[static_cast<std::size_t>(current)]; }
    const Memory& cur() const { return slot[static_cast<std::size_t>(current)]; }

    // Before every build: a memory number outside 1..14 becomes 1, zero
    // values take their start values, a left gain of 0 resets both gains.
    void normalise();

    // The 85 values in file order; values that cannot be read keep theirs.
    void parse(std::string_view contents);
    std::string serialise() const;

    // Every error ignored, as the panel wants; the return value is for
    // the window's status line and the tests.
    bool load(const std::string& path);
    bool save(const std::string& path) const;
};

} // namespace qelvar::panel

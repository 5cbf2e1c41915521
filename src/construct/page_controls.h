// Every control of the construction page as data: box texts, check states,
// indicator colours. The window shows this and writes typing back into it.
#pragma once

#include <array>
#include <string>

namespace qelvar::construct {

// Platform colour numbers 0x00BBGGRR.
inline constexpr unsigned kLampOn = 0xC0C000;
inline constexpr unsigned kLampOff = 0x808000;
inline constexpr unsigned kRowIdle = 0x008000;
inline constexpr unsigned kRowPlayed = 0x000080;

enum class Lamp { Play, Loop, Step, FullDuplex, UseCal, Offset, Pulse, Count };

// The ten test-signal toggles, in the order of their indicators Text18..Text27.
enum class Signal { Square, Smpte, Ccif, Iec, White, Ul, Pink, Csa, Sub, Triangle, Count };

inline constexpr int kLampCount = static_cast<int>(Lamp::Count);
inline constexpr int kSignalCount = static_cast<int>(Signal::Count);

struct PageControls {
    // Control arrays, indexed by element number from 0.
    std::array<std::string, 22> freq{};   // 20 Freq-on, 21 hidden off frequency
    std::array<std::string, 22> attL{};   // 20 Att-on, 21 Att-off
    std::array<std::string, 25> attR{};   // 20..24 hidden
    std::array<std::string, 22> length{}; // 20 T-on, 21 T-off
    std::array<bool, 25> include{};       // 20..24 hidden
    std::array<unsigned, 24> indicator{}; // 20..23 hidden
    // Reading boxes of rows 1..20 (element 0 unused).
    std::array<std::string, 21> left{};
    std::array<std::string, 21> right{};

    std::string offset;     // offset dB entry
    std::string scratchpad; // line breaks as CR LF
    std::string status;
    std::string measureNotes; // rows whose takes failed or are suspect, and why

    std::array<unsigned, kLampCount> lamps{};
    std::array<unsigned, kSignalCount> signalLamps{};

    unsigned& lamp(Lamp l) { return lamps[static_cast<int>(l)]; }
    unsigned lamp(Lamp l) const { return lamps[static_cast<int>(l)]; }

    // The texts the page's boxes hold before the set-up file is put out.
    void setInitialTexts();
};

} // namespace qelvar::construct

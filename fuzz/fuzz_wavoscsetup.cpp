// The oscillator set-up file reader, then a build from what it read.
#include "panel/memories.h"
#include "panel/tone.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qelvar::panel::Memories m;
    m.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    m.normalise();
    static qelvar::panel::Tone tone;
    tone.compute(m.cur());
    return 0;
}

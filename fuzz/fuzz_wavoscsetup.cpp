// The oscillator set-up file: read as the panel starts, which builds the
// tone file of the current memory from it; then the keys that step through
// the memory's rate, mode and width and rebuild.
#include "audio/fake_sound.h"
#include "panel/memories.h"
#include "panel/panel_model.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace qelvar::panel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Memories m;
    m.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)m.serialise();

    static qelvar::audio::FakeSound snd;
    qelvar::fuzz::writeScratch("wavoscsetup", data, size);
    PanelModel panel(snd, qelvar::fuzz::scratchDir());
    panel.play();
    panel.nextRate();
    panel.nextMode();
    panel.nextBits();
    snd.calls.clear();
    return 0;
}

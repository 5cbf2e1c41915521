// The construction page's set-up file: read as the page opens (with the
// page's own start-up values underneath), every step built from the table
// it gave, then the scratchpad's promised round trip through the writer.
#include "audio/fake_sound.h"
#include "construct/page_model.h"
#include "construct/setup_file.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace qelvar::construct;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qelvar::audio::FakeSound snd;
    static PageModel page(snd, qelvar::fuzz::scratchDir());
    qelvar::fuzz::writeScratch("tessalysetup", data, size);
    page.open();
    page.autobuildAll();
    page.build(kPulseOn);
    snd.calls.clear();

    StepTable t;
    t.setStartupValues();
    PageSettings s;
    readSetup(std::string_view(reinterpret_cast<const char*>(data), size), t, s);
    StepTable t2;
    PageSettings s2;
    readSetup(setupText(t, s), t2, s2);
    if (s2.scratchpad != s.scratchpad || s2.useCal != s.useCal || s2.loop != s.loop)
        std::abort();
    return 0;
}

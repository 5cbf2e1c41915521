// The page's set-up file "tessalysetup": steps 1..25 (frequency, left and
// right attenuation, length, include), the scratchpad, the offset dB and the
// four flags, one value a line in the "write" form.
#pragma once

#include "construct/step_table.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvar::construct {

struct PageSettings {
    std::string scratchpad; // line breaks as CR LF
    float offsetDb = 0;
    std::int16_t useCal = 0;
    std::int16_t offsetOn = 0;
    std::int16_t fullDuplex = 0;
    std::int16_t loop = 0;
};

// The file's text. A double quote inside the scratchpad is written doubled
// (""), so a file without one is unchanged and the text reads back whole.
std::string setupText(const StepTable& t, const PageSettings& s);

// Reads the values in the order they are written. A missing value, one of
// the wrong kind, or one outside what the page's boxes accept leaves the
// entry as it was; extra values are ignored.
void readSetup(std::string_view contents, StepTable& t, PageSettings& s);

} // namespace qelvar::construct

#include "construct/noise/noise_frame.h"

namespace qelvar::noise {

void noiselength(wav::FileImage& image, std::int32_t S, std::int32_t E) {
    std::int64_t L = (static_cast<std::int64_t>(E) - S) * 4 - 44;
    if (L < 0)
        L = 0;
    if (L > 0xFFFFFFFFLL - 36)
        L = 0xFFFFFFFFLL - 36;
    if (image.lastElement() < 44)
        return;
    image.setDataLength(static_cast<std::uint32_t>(L));
    image.setRiffLength(static_cast<std::uint32_t>(L));
}

} // namespace qelvar::noise

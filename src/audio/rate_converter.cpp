#include "audio/rate_converter.h"

#include <soxr.h>

#include <cmath>

namespace qelvar::audio {

RateConverter::RateConverter(double fromRate, double toRate) : ratio_(toRate / fromRate) {
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t rt = soxr_runtime_spec(1);
    soxr_ = soxr_create(fromRate, toRate, 2, &err, &io, &q, &rt);
    if (err)
        soxr_ = nullptr;
}

RateConverter::~RateConverter() {
    if (soxr_)
        soxr_delete(soxr_);
}

void RateConverter::process(const float* in, std::size_t frames, std::vector<float>& out) {
    if (!soxr_)
        return;
    // Room for every frame this block can give, plus the filter's slack.
    const std::size_t room = static_cast<std::size_t>(std::ceil(frames * ratio_)) + 64;
    if (scratch_.size() < room * 2)
        scratch_.resize(room * 2);
    std::size_t done = 0;
    soxr_process(soxr_, in, frames, nullptr, scratch_.data(), room, &done);
    out.insert(out.end(), scratch_.begin(),
               scratch_.begin() + static_cast<std::ptrdiff_t>(done * 2));
}

std::int32_t toInt32(float v) {
    const double s = std::nearbyint(static_cast<double>(v) * 2147483648.0);
    return static_cast<std::int32_t>(s >= 2147483647.0    ? 2147483647.0
                                     : s <= -2147483648.0 ? -2147483648.0
                                                          : s);
}

} // namespace qelvar::audio

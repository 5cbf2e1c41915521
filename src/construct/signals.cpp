// The ten test-signal toggles and the noise creation run behind NOISE FILE
// CREATION. Square, triangle, SMPTE and CCIF are built into the step-0 file
// by the step builder; the six noise buttons loop the noise files as they
// are.
#include "construct/page_model.h"

#include <string_view>

namespace qelvar::construct {

namespace {

bool isBuilt(Signal s) {
    return s == Signal::Square || s == Signal::Triangle || s == Signal::Smpte || s == Signal::Ccif;
}

// The noise file each noise toggle loops; empty for the built signals.
std::string_view noiseFileOf(Signal s) {
    switch (s) {
    case Signal::White:
        return noise::noiseFileNames[0];
    case Signal::Iec:
        return noise::noiseFileNames[1];
    case Signal::Sub:
        return noise::noiseFileNames[2];
    case Signal::Pink:
        return noise::noiseFileNames[3];
    case Signal::Ul:
        return noise::noiseFileNames[4];
    case Signal::Csa:
        return noise::noiseFileNames[5];
    default:
        return {};
    }
}

constexpr std::string_view kNoiseFailed = "    Noise run stopped: cannot write ";

} // namespace

void PageModel::testSignal(Signal b) {
    const int k = static_cast<int>(b);
    if (k < 0 || k >= kSignalCount)
        return;
    if (signal_[k]) {
        setSignalFlag(b, false);
        Stopplay();
        return;
    }
    for (int s = 0; s < kSignalCount; ++s)
        setSignalFlag(static_cast<Signal>(s), false);
    setSignalFlag(b, true);
    update();
    if (isBuilt(b)) {
        buildwav(builder_.currentStep(), stepFile(0));
        playloop(stepFile(0));
    } else {
        playloop(path(std::string(noiseFileOf(b))));
    }
}

void PageModel::noiseFileCreation() {
    if (!noiseSource_)
        noiseSource_ = std::make_unique<noise::ClockedUniformSource>(
            noise::ClockedUniformSource::seededFromClock());
    if (!noiseRun_)
        noiseRun_ = std::make_unique<noise::NoiseRun>();
    // The run leaves the last file's header in the buffer; later builds
    // set their own header fields.
    const noise::RunResult r = noiseRun_->run(builder_.image(), dir_, *noiseSource_);
    builder_.afterNoiseRun();

    if (!r.ok)
        c_.status = std::string(kNoiseFailed) + path(r.failedFile);
    else if (c_.status.starts_with(kNoiseFailed))
        c_.status.clear();
}

} // namespace qelvar::construct

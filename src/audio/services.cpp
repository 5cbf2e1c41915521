#include "audio/sound.h"

namespace qelvar::audio {
namespace {

// Until main installs the real backend every call fails quietly.
class NoSound : public SoundServices {
  public:
    long playSound(const std::string&, unsigned) override { return 0; }
    long mciSendString(const std::string&, std::string* ret) override {
        if (ret)
            ret->clear();
        return 1;
    }
    std::string statusText() const override { return "No sound device found"; }
    Readiness readiness() const override { return Readiness::Failed; }
    TakeResult takeResult(const std::string&) const override {
        return {TakeResult::State::Failed,
                "no sound device; check that PulseAudio or PipeWire runs"};
    }
};

NoSound noSound;
SoundServices* current = &noSound;

} // namespace

SoundServices& services() {
    return *current;
}
void setServices(SoundServices* s) {
    current = s ? s : &noSound;
}

} // namespace qelvar::audio

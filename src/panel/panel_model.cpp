#include "panel/panel_model.h"

#include "common/files.h"
#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

namespace qelvar::panel {
namespace {

constexpr double kLn10 = 2.30258509299405;

template <typename Int> Int clampTo(std::int64_t v) {
    return static_cast<Int>(std::clamp<std::int64_t>(v, std::numeric_limits<Int>::min(),
                                                     std::numeric_limits<Int>::max()));
}

template <typename T, std::size_t N> T nextIn(const T (&cycle)[N], const T& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (cycle[i] == value)
            return cycle[(i + 1) % N];
    return value; // a value outside the cycle (from an edited file) stays
}

double gainOf(const std::string& text) {
    return std::pow(10.0, leadingNumber(text) / 20.0);
}

} // namespace

std::string attenuationText(double gain) {
    double d = 20.0 * (std::log(gain) / kLn10);
    // A zero gain can only come from an edited set-up file; show it as the
    // deepest attenuation the readout can hold instead of minus infinity.
    if (d < -999.9)
        d = -999.9;
    if (d > 999.9)
        d = 999.9;
    return readoutForm(d);
}

PanelModel::PanelModel(audio::SoundServices& snd, std::string dataDir)
    : snd_(snd), dir_(std::move(dataDir)) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    mem_.load(path("wavoscsetup"));
    update();
}

void PanelModel::update() {
    mem_.normalise();
    const Memory& m = mem_.cur();
    labels_[1] = attenuationText(m.gainL);
    labels_[2] = m.mode;
    labels_[3] = std::to_string(mem_.current);
    labels_[4] = std::to_string(m.frequency);
    labels_[5] = std::to_string(m.rate);
    labels_[6] = std::to_string(m.bits);
    labels_[7] = attenuationText(m.gainR);
    buildwav();
}

void PanelModel::buildwav() {
    mem_.normalise();
    tone_.compute(mem_.cur());
    if (tone_.writetofile(dir_))
        status_.clear();
    else if (std::string why = writeProblem(dir_); !why.empty())
        status_ = why; // the folder, not each of its files, is the trouble
    else
        status_ = "Cannot write the tone file " + path("pemtest.wav");
}

void PanelModel::readdisplay() {
    Memory& m = mem_.cur();
    if (!labels_[4].empty())
        m.frequency = clampTo<std::int32_t>(roundEven(leadingNumber(labels_[4])));
    if (!labels_[1].empty())
        m.gainL = gainOf(labels_[1]);
    if (!labels_[7].empty())
        m.gainR = gainOf(labels_[7]);
    if (!labels_[2].empty())
        m.mode = labels_[2];
    if (!labels_[6].empty())
        m.bits = clampTo<std::int16_t>(roundEven(leadingNumber(labels_[6])));
    if (!labels_[5].empty())
        m.rate = clampTo<std::int32_t>(roundEven(leadingNumber(labels_[5])));
}

void PanelModel::playtest() {
    playName_ = path("pemtest.wav");
    playerResult_ = snd_.playSound(playName_, audio::kLoopFile);
}

void PanelModel::Stopplay() {
    // The first call names a file that never exists: it replaces the loop
    // by nothing; the purge then makes sure nothing of ours still plays.
    playName_ = path("stopwav.wav");
    playerResult_ = snd_.playSound(playName_, audio::kPlayOnce);
    playerResult_ = snd_.playSound("0", audio::kPurgeAll);
}

void PanelModel::haltTone() {
    Stopplay();
    lamp_ = false;
}

void PanelModel::rebuildPlay() {
    readdisplay();
    update();
    playtest();
    lamp_ = true;
}

void PanelModel::play() {
    Stopplay();
    buildwav();
    playtest();
    lamp_ = true;
}

void PanelModel::stop() {
    haltTone();
}

void PanelModel::nextMode() {
    static const std::string cycle[] = {"MONO", "ST L", "ST R", "ST L+R", "ST L-R"};
    haltTone();
    Memory& m = mem_.cur();
    m.mode = nextIn(cycle, m.mode);
    labels_[2] = m.mode;
    rebuildPlay();
}

void PanelModel::nextRate() {
    static const std::int32_t cycle[] = {32000, 44100, 48000, 88000, 96000};
    haltTone();
    Memory& m = mem_.cur();
    m.rate = nextIn(cycle, m.rate);
    labels_[5] = std::to_string(m.rate);
    rebuildPlay();
}

void PanelModel::nextBits() {
    static const std::int16_t cycle[] = {8, 16, 24};
    haltTone();
    Memory& m = mem_.cur();
    m.bits = nextIn(cycle, m.bits);
    labels_[6] = std::to_string(m.bits);
    rebuildPlay();
}

void PanelModel::knob() {
    haltTone();
    mem_.current = (mem_.current >= 1 && mem_.current < Memories::count)
                       ? static_cast<std::int16_t>(mem_.current + 1)
                       : std::int16_t{1};
    update();
}

void PanelModel::freqKey() {
    entryKey(freq_, &PanelModel::acceptFreq);
}
void PanelModel::leftVolKey() {
    entryKey(left_, &PanelModel::acceptLeft);
}
void PanelModel::rightVolKey() {
    entryKey(right_, &PanelModel::acceptRight);
}

void PanelModel::entryKey(Entry& box, void (PanelModel::*accept)()) {
    haltTone();
    if (!box.inProgress) {
        box.inProgress = true;
        box.before = box.text;
        return;
    }
    box.inProgress = false;
    (this->*accept)();
    readdisplay();
    update();
    playtest();
    lamp_ = true;
}

void PanelModel::acceptFreq() {
    const double t = leadingNumber(freq_.text);
    if (t < 10 || t > 48000)
        freq_.text = "1000";
    mem_.cur().frequency = clampTo<std::int32_t>(roundEven(leadingNumber(freq_.text)));
    labels_[4] = std::to_string(mem_.cur().frequency);
}

void PanelModel::acceptLeft() {
    acceptVolume(left_, Side::Left);
}
void PanelModel::acceptRight() {
    acceptVolume(right_, Side::Right);
}

void PanelModel::acceptVolume(Entry& box, Side side) {
    const double t = leadingNumber(box.text);
    if (t > 0 || t < -99)
        box.text = "-20";
    const double g = gainOf(box.text);
    if (side == Side::Left) {
        labels_[1] = box.text;
        mem_.cur().gainL = g;
    } else {
        labels_[7] = box.text;
        mem_.cur().gainR = g;
    }
}

void PanelModel::cancelEntry(Entry& box) {
    if (!box.inProgress)
        return;
    box.inProgress = false;
    box.text = box.before;
}

bool PanelModel::off() {
    Stopplay();
    lamp_ = false;
    if (mem_.save(path("wavoscsetup")))
        return true;
    status_ = "Cannot write " + path("wavoscsetup") + ": Off again closes without saving";
    return false;
}

} // namespace qelvar::panel

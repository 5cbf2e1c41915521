#include "construct/page_model.h"

#include "common/files.h"
#include "common/numbers.h"
#include "construct/measure/calibration.h"
#include "construct/setup_file.h"
#include "formats/textfile.h"

namespace qelvar::construct {

PageModel::PageModel(audio::SoundServices& snd, std::string dataDir)
    : snd_(snd), dir_(std::move(dataDir)), m_(snd) {
    c_.setInitialTexts();
    t_.setStartupValues();
}

PageModel::PageModel(audio::SoundServices& snd) : PageModel(snd, qelvar::dataDir()) {}

std::string PageModel::stepFile(int step) const {
    return path("tessalyf" + std::to_string(step) + ".wav");
}

std::string PageModel::captureFile(int step) const {
    return path("wavrec" + std::to_string(step) + ".wav");
}

void PageModel::open() {
    t_.setStartupValues();
    builder_.open();
    seq_.stopTimer();
    loadFiles();
    // Said once, before any build or OFF meets the same trouble.
    if (std::string why = writeProblem(dir_); !why.empty())
        c_.status = "    " + why;
}

void PageModel::loadFiles() {
    PageSettings s;
    if (auto text = readWholeFile(path("tessalysetup"), 1u << 20))
        readSetup(*text, t_, s);
    scratch_ = s.scratchpad;
    m_.setOffsetDb(s.offsetDb);
    m_.settings().calOn = s.useCal == 1;
    m_.settings().offsetOn = s.offsetOn == 1;
    m_.setFullDuplex(s.fullDuplex == 1);
    seq_.setLoop(s.loop == 1);
    update2();
    loadCalibration(path("wavcaldata"), m_.settings());
}

bool PageModel::saveFiles() {
    PageSettings s;
    s.scratchpad = scratch_;
    s.offsetDb = m_.offsetDb();
    s.useCal = m_.settings().calOn ? 1 : 0;
    s.offsetOn = m_.settings().offsetOn ? 1 : 0;
    s.fullDuplex = m_.fullDuplex() ? 1 : 0;
    s.loop = seq_.loopOn() ? 1 : 0;
    ensureDataDir();
    bool ok = replaceFile(path("tessalysetup"), setupText(t_, s), true);
    ok = saveCalibration(path("wavcaldata"), m_.settings()) && ok;
    if (!ok)
        c_.status = "    Settings could not be saved.";
    return ok;
}

// --- Taking the table in and putting it out ------------------------------

void PageModel::takeInRow(int i, bool ownRightTest) {
    const int e = i - 1;
    double v = leadingNumber(c_.freq[e]);
    if (v > 9 && v < 20001)
        t_.frequency[i] = static_cast<std::int32_t>(roundEven(v));
    v = leadingNumber(c_.length[e]);
    if (v > 0 && v < 60001)
        t_.length[i] = v;
    v = leadingNumber(c_.attL[e]);
    const double right = leadingNumber(c_.attR[e]);
    if (v > -1 && v < 100) {
        t_.attL[i] = v;
        if (!ownRightTest)
            t_.attR[i] = right;
    }
    if (ownRightTest && right > -1 && right < 100)
        t_.attR[i] = right;
    t_.include[i] = c_.include[e] ? 1 : 0;
}

void PageModel::takeOffset() {
    m_.setOffsetDb(static_cast<float>(boxValue(c_.offset)));
}

void PageModel::update() {
    const int n = builder_.currentStep();
    if (t_.bits[n] == 0)
        t_.bits[n] = 16;
    if (t_.rate[n] == 0)
        t_.rate[n] = 44100;
    if (t_.frequency[n] == 0)
        t_.frequency[n] = 1000;
    for (int i = 1; i <= kPulseOff; ++i)
        takeInRow(i, false);
    takeOffset();
    if (t_.mode[n].empty())
        t_.mode[n] = "ST L+R";
    if (n == 0)
        builder_.setCurrentStep(1);
}

void PageModel::update3() {
    for (int i = 1; i <= kPulseOff; ++i)
        takeInRow(i, true);
    takeOffset();
}

void PageModel::update2() {
    for (int i = 1; i <= kPulseOff; ++i) {
        const int e = i - 1;
        c_.freq[e] = std::to_string(t_.frequency[i]);
        c_.length[e] = plainForm(t_.length[i]);
        c_.attL[e] = plainForm(t_.attL[i]);
        c_.attR[e] = plainForm(t_.attR[i]);
        if (t_.include[i] == 1)
            c_.include[e] = true;
        else if (t_.include[i] == 0)
            c_.include[e] = false;
    }
    c_.offset = floatForm(m_.offsetDb());
    c_.scratchpad = scratch_;
    if (m_.settings().calOn)
        c_.lamp(Lamp::UseCal) = kLampOn;
    if (m_.settings().offsetOn)
        c_.lamp(Lamp::Offset) = kLampOn;
    if (m_.fullDuplex())
        c_.lamp(Lamp::FullDuplex) = kLampOn;
    if (seq_.loopOn())
        c_.lamp(Lamp::Loop) = kLampOn;
}

// --- Page buttons --------------------------------------------------------

void PageModel::setLamp(Lamp l, bool on) {
    c_.lamp(l) = on ? kLampOn : kLampOff;
}

void PageModel::allRowsIdle() {
    for (int r = 0; r < kRows; ++r)
        c_.indicator[r] = kRowIdle;
}

void PageModel::setColumn(bool left, int db) {
    for (int r = 1; r <= kRows; ++r) {
        (left ? t_.attL : t_.attR)[r] = db;
        if (left)
            c_.attL[r - 1] = std::to_string(db);
        else
            c_.attR[r - 1] = std::to_string(db);
    }
}

bool PageModel::off() {
    Stopplay();
    update();
    scratch_ = c_.scratchpad;
    Stopplay();
    seq_.stopTimer();
    pulsePlaying_ = false;
    setLamp(Lamp::Pulse, false);
    allRowsIdle();
    return saveFiles();
}

void PageModel::pasteToNotes() {
    std::string text = c_.scratchpad + "\r\n";
    for (int r = 1; r <= kRows; ++r)
        text += std::to_string(t_.frequency[r]) + "  " + c_.left[r] + "  " + c_.right[r] + "\r\n";
    c_.scratchpad = text;
    scratch_ = text;
}

void PageModel::setSignalFlag(Signal s, bool on) {
    signal_[static_cast<int>(s)] = on;
    c_.signalLamps[static_cast<int>(s)] = on ? kLampOn : kLampOff;
}

} // namespace qelvar::construct

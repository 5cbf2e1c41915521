#include "panel/panel_model.h"

#include "audio/fake_sound.h"
#include "support/files.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace qelvar::panel;
using qelvar::audio::FakeSound;
using namespace qelvar::test;

namespace {

class PanelModelTest : public ::testing::Test {
  protected:
    TempDir tmp;
    fs::path dir = tmp.path / "Qelvarfiles";
    FakeSound snd;
    std::unique_ptr<PanelModel> start(const std::string& setup = "") {
        if (!setup.empty()) {
            fs::create_directories(dir);
            writeText(dir / "wavoscsetup", setup);
        }
        return std::make_unique<PanelModel>(snd, dir.string());
    }
    Bytes tone() { return readBytes(dir / "pemtest.wav"); }
    // The stop pair, then the loop of the tone if `loop`.
    std::vector<FakeSound::Call> calls(bool loop) {
        std::vector<FakeSound::Call> v{FakeSound::play((dir / "stopwav.wav").string(), 0x20001),
                                       FakeSound::play("0", 0x42)};
        if (loop)
            v.push_back(FakeSound::play((dir / "pemtest.wav").string(), 0x20009));
        return v;
    }
};

void enter(void (PanelModel::*key)(), Entry& box, PanelModel& p, const std::string& text) {
    (p.*key)();
    box.text = text;
    (p.*key)();
}

} // namespace

TEST_F(PanelModelTest, CallSequencesOfPlayStopEntryAndOff) {
    auto p = start();
    // What `act` asks of the sound device; the lamp is lit while the tone loops.
    auto expect = [&](auto act, bool loop) {
        snd.calls.clear();
        act();
        EXPECT_EQ(snd.calls, calls(loop));
        EXPECT_EQ(p->lampShown(), loop);
    };
    expect([&] { p->play(); }, true);
    expect([&] { p->stop(); }, false);
    p->play();
    expect([&] { p->freqKey(); }, false); // opens the box: stop only
    p->freqBox().text = "440";
    expect([&] { p->freqKey(); }, true); // accepts: stop, rebuild, loop
    EXPECT_EQ(p->label(4), "440");
    expect([&] { EXPECT_TRUE(p->off()); }, false);
    EXPECT_EQ(readText(dir / "wavoscsetup").substr(0, 6), "440\r\n4");
}

TEST_F(PanelModelTest, FrequencyEntries) {
    auto p = start();
    for (const char* bad : {"5", "50000", ""}) {
        p->memories().cur().frequency = 2000;
        enter(&PanelModel::freqKey, p->freqBox(), *p, bad);
        EXPECT_EQ(p->freqBox().text, "1000") << bad;
        EXPECT_EQ(p->label(4), "1000") << bad;
        EXPECT_EQ(p->memories().cur().frequency, 1000) << bad;
    }
    enter(&PanelModel::freqKey, p->freqBox(), *p, "1000.5");
    EXPECT_EQ(p->label(4), "1000");
}

TEST_F(PanelModelTest, KnobWrapsFrom14To1WithoutPlaying) {
    Memories setup; // memory 1 at 440 Hz, memory 14 current
    setup.slot[1].frequency = 440;
    setup.current = 14;
    auto p = start(setup.serialise());
    EXPECT_EQ(p->label(3), "14");
    p->play();
    snd.calls.clear();
    p->knob();
    EXPECT_EQ(p->label(3), "1");
    EXPECT_EQ(p->label(4), "440");
    EXPECT_FALSE(p->lampShown());
    EXPECT_EQ(snd.calls, calls(false));
    EXPECT_EQ(tone().size(), 444u); // 44100 × 4 ÷ 440 = 400.9 → 401 → 400 bytes
}

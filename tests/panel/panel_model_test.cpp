#include "panel/panel_model.h"

#include "audio/fake_sound.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;
using namespace qelvar::panel;
using qelvar::audio::FakeSound;
using Bytes = std::vector<unsigned char>;

namespace {

// A set-up file of 14 default memories with memory 1 at `freq1`.
std::string setupFile(int freq1, int current) {
    std::string s;
    for (int m = 1; m <= 14; ++m)
        s += std::to_string(m == 1 ? freq1 : 1000) +
             "\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n";
    return s + std::to_string(current) + "\r\n";
}

class PanelModelTest : public ::testing::Test {
  protected:
    TempDir tmp;
    fs::path dir = tmp.path / "Qelvarfiles";
    FakeSound snd;

    std::unique_ptr<PanelModel> start(const std::string& setup = "") {
        if (!setup.empty()) {
            fs::create_directories(dir);
            writeBytes(dir / "wavoscsetup", setup);
        }
        return std::make_unique<PanelModel>(snd, dir.string());
    }
    Bytes tone() { return bytesOf(dir / "pemtest.wav"); }
    // `stops` times the stop pair, then the loop of the tone if `loop`.
    std::vector<FakeSound::Call> calls(int stops, bool loop) {
        std::vector<FakeSound::Call> v;
        for (int i = 0; i < stops; ++i)
            v.insert(v.end(), {FakeSound::play((dir / "stopwav.wav").string(), 0x20001),
                               FakeSound::play("0", 0x42)});
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

TEST_F(PanelModelTest, StartUpWithoutSetupFileShowsStartValuesAndPlaysNothing) {
    auto p = start();
    const char* expected[] = {"", "-3.1", "ST L+R", "1", "1000", "44100", "16", "-3.1"};
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(p->label(i), expected[i]) << "Label" << i;
    EXPECT_TRUE(snd.calls.empty());
    EXPECT_FALSE(p->lampShown());
    EXPECT_TRUE(p->status().empty());
    EXPECT_EQ(tone().size(), 220u); // 1000 Hz stereo 16 bits at 44100: 176 data bytes
    EXPECT_EQ(bytesOf(dir / "stop.wav").size(), 220u);
    EXPECT_FALSE(fs::exists(dir / "wavoscsetup"));
}

TEST_F(PanelModelTest, CallSequencesOfPlayStopEntryAndOff) {
    auto p = start();
    p->play();
    EXPECT_EQ(snd.calls, calls(1, true));
    EXPECT_TRUE(p->lampShown());

    snd.calls.clear();
    p->stop();
    EXPECT_EQ(snd.calls, calls(1, false));
    EXPECT_FALSE(p->lampShown());

    p->play();
    snd.calls.clear();
    p->freqKey(); // opens the box: stop only, lamp off
    EXPECT_EQ(snd.calls, calls(1, false));
    EXPECT_FALSE(p->lampShown());
    p->freqBox().text = "440";
    p->freqKey(); // accepts: stop, rebuild, loop
    EXPECT_EQ(snd.calls, calls(2, true));
    EXPECT_TRUE(p->lampShown());
    EXPECT_EQ(p->label(4), "440");

    snd.calls.clear();
    EXPECT_TRUE(p->off());
    EXPECT_EQ(snd.calls, calls(1, false));
    const Bytes saved = bytesOf(dir / "wavoscsetup");
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "440\r\n4");
}

TEST_F(PanelModelTest, EntriesModeAndRate) {
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
    enter(&PanelModel::freqKey, p->freqBox(), *p, "1001.5");
    EXPECT_EQ(p->label(4), "1002");
    // 10 cycles of 1002 Hz: 10 × 44100 × 4 ÷ 1002 = 1760.48 → 1760 data bytes.
    EXPECT_EQ(tone().size(), 1760u + 44u);
    for (const char* bad : {"3", "-120"}) {
        enter(&PanelModel::leftVolKey, p->leftBox(), *p, bad);
        EXPECT_EQ(p->leftBox().text, "-20");
        EXPECT_EQ(p->label(1), "-20.");
        EXPECT_DOUBLE_EQ(p->memories().cur().gainL, 0.1);
    }
    EXPECT_EQ(p->label(7), "-3.1"); // the other side is untouched
    enter(&PanelModel::rightVolKey, p->rightBox(), *p, "0");
    EXPECT_EQ(p->label(7), "0.0");
    EXPECT_EQ(p->memories().cur().gainR, 1.0);
    p->nextMode();
    EXPECT_EQ(p->label(2), "ST L-R");
    p->nextMode();
    EXPECT_EQ(p->label(2), "MONO");
    Bytes t = tone();
    EXPECT_EQ(t[22], 1);             // one channel
    EXPECT_EQ(t.size(), 880u + 44u); // 10 × 44100 × 2 ÷ 1002 = 880.2 → 880
    p->nextRate();
    EXPECT_EQ(p->label(5), "48000");
    p->nextRate();
    EXPECT_EQ(p->label(5), "88000");
    t = tone();
    EXPECT_EQ(Bytes(t.begin() + 24, t.begin() + 28), (Bytes{192, 87, 1, 0}));
}

TEST_F(PanelModelTest, KnobWrapsFrom14To1WithoutPlaying) {
    auto p = start(setupFile(440, 14));
    EXPECT_EQ(p->label(3), "14");
    p->play();
    snd.calls.clear();
    p->knob();
    EXPECT_EQ(p->label(3), "1");
    EXPECT_EQ(p->label(4), "440");
    EXPECT_FALSE(p->lampShown());
    EXPECT_EQ(snd.calls, calls(1, false));
    EXPECT_EQ(tone().size(), 444u); // 44100 × 4 ÷ 440 = 400.9 → 401 → 400 bytes
}

#include "panel/panel_model.h"

#include "panel/sound/fake_sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace qelvar::panel;
using qelvar::sound::FakeSound;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "qelvar-panel-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

std::vector<unsigned char> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeText(const fs::path& p, const std::string& s) {
    std::ofstream out(p, std::ios::binary);
    out << s;
}

// A set-up file of 14 default memories with memory 1 at `freq1` and the
// current memory number `current`.
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

    std::unique_ptr<PanelModel> start() { return std::make_unique<PanelModel>(snd, dir.string()); }
    std::vector<unsigned char> tone() { return bytesOf(dir / "pemtest.wav"); }
    FakeSound::Call stopOnce() { return FakeSound::play((dir / "stopwav.wav").string(), 0x20001); }
    FakeSound::Call loop() { return FakeSound::play((dir / "pemtest.wav").string(), 0x20009); }
    FakeSound::Call purge() { return FakeSound::play("0", 0x42); }
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
    EXPECT_FALSE(p->freqBox().inProgress);
    EXPECT_TRUE(p->status().empty());
    // 1000 Hz stereo 16 bits at 44100: 176 data bytes behind the header.
    const auto t = tone();
    EXPECT_EQ(t.size(), 220u);
    auto silent = bytesOf(dir / "stop.wav");
    ASSERT_EQ(silent.size(), 220u);
    EXPECT_EQ(std::vector<unsigned char>(silent.begin(), silent.begin() + 44),
              std::vector<unsigned char>(t.begin(), t.begin() + 44));
    EXPECT_EQ(std::count(silent.begin() + 44, silent.end(), 0), 176);
    EXPECT_EQ(bytesOf(dir / "wavcself0.wav"), silent);
    EXPECT_FALSE(fs::exists(dir / "stopwav.wav"));
    EXPECT_FALSE(fs::exists(dir / "wavoscsetup"));
}

TEST_F(PanelModelTest, StartUpReadsTheSetupFile) {
    fs::create_directories(dir);
    writeText(dir / "wavoscsetup", setupFile(440, 9));
    auto p = start();
    EXPECT_EQ(p->label(3), "9");
    EXPECT_EQ(p->memories().slot[1].frequency, 440);
}

TEST_F(PanelModelTest, CallSequencesOfPlayStopAndEntry) {
    auto p = start();
    p->play();
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge(), loop()}));
    EXPECT_TRUE(p->lampShown());
    EXPECT_EQ(p->playName(), (dir / "pemtest.wav").string());

    snd.calls.clear();
    p->stop();
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge()}));
    EXPECT_FALSE(p->lampShown());

    snd.calls.clear();
    p->play();
    snd.calls.clear();
    p->freqKey(); // opens the box: stop only, lamp off
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge()}));
    EXPECT_FALSE(p->lampShown());
    EXPECT_TRUE(p->freqBox().inProgress);
    p->freqBox().text = "440";
    p->freqKey(); // accepts: stop, rebuild, loop
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge(), stopOnce(), purge(), loop()}));
    EXPECT_TRUE(p->lampShown());
    EXPECT_FALSE(p->freqBox().inProgress);
    EXPECT_EQ(p->label(4), "440");
}

TEST_F(PanelModelTest, FrequencyEntryFallsBackAndRoundsToEven) {
    auto p = start();
    for (const char* bad : {"5", "50000", "", "9.99", "48000.5", "abc"}) {
        p->memories().cur().frequency = 2000;
        enter(&PanelModel::freqKey, p->freqBox(), *p, bad);
        EXPECT_EQ(p->freqBox().text, "1000") << bad;
        EXPECT_EQ(p->label(4), "1000") << bad;
        EXPECT_EQ(p->memories().cur().frequency, 1000) << bad;
    }
    enter(&PanelModel::freqKey, p->freqBox(), *p, "1000.5");
    EXPECT_EQ(p->label(4), "1000");
    EXPECT_EQ(p->freqBox().text, "1000.5"); // the box keeps what was typed
    enter(&PanelModel::freqKey, p->freqBox(), *p, "1001.5");
    EXPECT_EQ(p->label(4), "1002");
    // 10 cycles of 1002 Hz: 10 × 44100 × 4 ÷ 1002 = 1760.48 → 1760 data bytes.
    EXPECT_EQ(tone().size(), 1760u + 44u);
}

TEST_F(PanelModelTest, VolumeEntryFallsBackToMinus20) {
    auto p = start();
    for (const char* bad : {"3", "-120"}) {
        enter(&PanelModel::leftVolKey, p->leftBox(), *p, bad);
        EXPECT_EQ(p->leftBox().text, "-20");
        EXPECT_EQ(p->label(1), "-20.");
        EXPECT_DOUBLE_EQ(p->memories().cur().gainL, 0.1);
    }
    EXPECT_EQ(p->label(7), "-3.1"); // the other side is untouched
    enter(&PanelModel::rightVolKey, p->rightBox(), *p, "-6");
    EXPECT_EQ(p->label(7), "-6.");
    EXPECT_NEAR(p->memories().cur().gainR, 0.501187233627272, 1e-15);
}

TEST_F(PanelModelTest, VolumeEntryOfZeroOrEmptyGivesFullScale) {
    auto p = start();
    enter(&PanelModel::leftVolKey, p->leftBox(), *p, "0");
    EXPECT_EQ(p->label(1), "0.0");
    EXPECT_EQ(p->memories().cur().gainL, 1.0);
    enter(&PanelModel::rightVolKey, p->rightBox(), *p, "");
    EXPECT_EQ(p->label(7), "0.0");
    EXPECT_EQ(p->memories().cur().gainR, 1.0);
    // Full scale at 16 bits: the quarter-cycle sample of 1000 Hz at 44100
    // stereo (frame 12 of 44, θ = 11 × w) is near 32767.
    auto t = tone();
    const int left = t[44 + 11 * 4] | (t[44 + 11 * 4 + 1] << 8);
    EXPECT_GT(left, 32700);
    EXPECT_LE(left, 32767);
}

TEST_F(PanelModelTest, ModeCyclesAndMonoHasOneChannel) {
    auto p = start();
    p->nextMode();
    EXPECT_EQ(p->label(2), "ST L-R");
    // The display was read back: the stored gain is that of "-3.1".
    EXPECT_DOUBLE_EQ(p->memories().cur().gainL, std::pow(10.0, -3.1 / 20));
    p->nextMode();
    EXPECT_EQ(p->label(2), "MONO");
    EXPECT_EQ(p->memories().cur().mode, "MONO");
    auto t = tone();
    EXPECT_EQ(t[22], 1);
    EXPECT_EQ(t[23], 0);
    EXPECT_EQ(t.size(), 88u + 44u); // 44100 × 2 ÷ 1000 = 88.2 → 88
    EXPECT_TRUE(p->lampShown());
}

TEST_F(PanelModelTest, RateAndBitsCycle) {
    auto p = start();
    p->nextRate();
    EXPECT_EQ(p->label(5), "48000");
    p->nextRate();
    EXPECT_EQ(p->label(5), "88000");
    auto t = tone();
    EXPECT_EQ(std::vector<unsigned char>(t.begin() + 24, t.begin() + 28),
              (std::vector<unsigned char>{192, 87, 1, 0}));
    p->nextRate();
    p->nextRate();
    EXPECT_EQ(p->label(5), "32000");
    p->nextBits();
    EXPECT_EQ(p->label(6), "24");
    EXPECT_EQ(tone()[34], 24);
    p->nextBits();
    EXPECT_EQ(p->label(6), "8");
    p->nextBits();
    EXPECT_EQ(p->label(6), "16");
}

TEST_F(PanelModelTest, KnobWrapsFrom14To1WithoutPlaying) {
    fs::create_directories(dir);
    writeText(dir / "wavoscsetup", setupFile(440, 14));
    auto p = start();
    EXPECT_EQ(p->label(3), "14");
    p->play();
    snd.calls.clear();
    p->knob();
    EXPECT_EQ(p->label(3), "1");
    EXPECT_EQ(p->label(4), "440");
    EXPECT_FALSE(p->lampShown());
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge()}));
    // 440 Hz, one cycle: 44100 × 4 ÷ 440 = 400.9 → 401 → 400 bytes.
    EXPECT_EQ(tone().size(), 444u);
    p->knob();
    EXPECT_EQ(p->label(3), "2");
    EXPECT_EQ(p->label(4), "1000");
}

TEST_F(PanelModelTest, OffStopsAndSavesTheMemories) {
    auto p = start();
    p->knob();
    enter(&PanelModel::freqKey, p->freqBox(), *p, "2500");
    snd.calls.clear();
    EXPECT_TRUE(p->off());
    EXPECT_EQ(snd.calls, (std::vector{stopOnce(), purge()}));
    auto saved = bytesOf(dir / "wavoscsetup");
    const std::string text(saved.begin(), saved.end());
    // Memory 1 untouched, memory 2 at 2500 Hz with gains read from "-3.1".
    EXPECT_EQ(text.substr(0, 37), "1000\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.7\r\n0.7\r\n");
    EXPECT_EQ(text.substr(37, 29), "2500\r\n44100\r\n\"ST L+R\"\r\n16\r\n0.");
    EXPECT_EQ(text.substr(text.size() - 3), "2\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 85);
}

TEST_F(PanelModelTest, UnwritableDataDirectoryIsReportedNotFatal) {
    writeText(tmp.path / "blocker", "x");
    FakeSound s;
    const std::string folder = (tmp.path / "blocker" / "Qelvarfiles").string();
    PanelModel p(s, folder);
    EXPECT_EQ(p.status(), "Cannot write to " + folder); // the folder, not one of its files
    EXPECT_EQ(p.label(4), "1000");
    p.play(); // still asks the player; the status stays
    EXPECT_FALSE(p.status().empty());
    EXPECT_FALSE(p.off());
}

TEST_F(PanelModelTest, ZeroRightGainFromAnEditedFileDoesNotBreakTheReadout) {
    fs::create_directories(dir);
    std::string s = setupFile(1000, 1);
    s.replace(s.find("0.7\r\n0.7"), 8, "0.7\r\n0");
    writeText(dir / "wavoscsetup", s);
    auto p = start();
    EXPECT_EQ(p->label(7), "-999.9");
    EXPECT_EQ(tone().size(), 220u);
}

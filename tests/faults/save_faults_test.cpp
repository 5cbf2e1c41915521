// The set-up saves of the three windows on a full disk: the old file stays
// byte for byte, no temporary is left, and the failure is reported.
#include "construct/page_model.h"
#include "fault_helpers.h"
#include "graph/graph_model.h"
#include "panel/panel_model.h"
#include "panel/sound/fake_sound.h"

using namespace qelvar;
using namespace qelvar::faults;
using qelvar::sound::FakeSound;

namespace {

// Exit codes of the saving child.
constexpr int kReported = 0;   // the save failed and said so
constexpr int kSucceeded = 1;  // the save claimed success
constexpr int kUnreported = 2; // failed without the status line

// Room for a few bytes only: every set-up file is longer.
constexpr rlim_t kFull = 8;

const std::string kOldPanel = "440\r\n48000\r\n\"ST L\"\r\n8\r\n.5\r\n.25\r\n";
const std::string kOldPage = "1000\r\n20\r\n30\r\n";
const std::string kOldCal = "1.5\r\n-2.25\r\n";
const std::string kOldGraph = "2\r\n1\r\n80\r\n-20\r\n1\r\n0\r\n";

} // namespace

TEST(FullDiskSave, PanelOffKeepsTheOldMemoriesAndSaysSo) {
    TempDir d;
    spit(d.path / "wavoscsetup", kOldPanel);
    const int rc = onFullDisk(kFull, [&] {
        FakeSound snd;
        panel::PanelModel panel(snd, d.path.string());
        panel.memories().cur().frequency = 5000;
        if (panel.off())
            return kSucceeded;
        return panel.status() ==
                       "Cannot write " + d / "wavoscsetup" + ": Off again closes without saving"
                   ? kReported
                   : kUnreported;
    });
    EXPECT_EQ(rc, kReported);
    EXPECT_EQ(slurp(d.path / "wavoscsetup"), kOldPanel);
    EXPECT_EQ(strayFiles(d.path, {"wavoscsetup"}), std::vector<std::string>{});
}

TEST(FullDiskSave, PageOffKeepsTheOldSetupAndCalibrationAndSaysSo) {
    TempDir d;
    spit(d.path / "tessalysetup", kOldPage);
    spit(d.path / "wavcaldata", kOldCal);
    const int rc = onFullDisk(kFull, [&] {
        FakeSound snd;
        construct::PageModel page(snd, d.path.string());
        page.open();
        page.controls().scratchpad = "notes that do not fit";
        page.controls().freq[0] = "2000";
        if (page.off())
            return kSucceeded;
        return page.controls().status == "    Settings could not be saved." ? kReported
                                                                            : kUnreported;
    });
    EXPECT_EQ(rc, kReported);
    EXPECT_EQ(slurp(d.path / "tessalysetup"), kOldPage);
    EXPECT_EQ(slurp(d.path / "wavcaldata"), kOldCal);
    EXPECT_EQ(strayFiles(d.path, {"tessalysetup", "wavcaldata"}), std::vector<std::string>{});
}

TEST(FullDiskSave, GraphExitKeepsTheOldPreferences) {
    TempDir home;
    fs::create_directory(home.path / "Qelvarfiles");
    const fs::path file = home.path / "Qelvarfiles" / "wavgraphsetup";
    spit(file, kOldGraph);
    HomeGuard guard(home.path.string());
    const int rc = onFullDisk(kFull, [&] {
        graph::GraphModel g;
        g.loadForm();
        g.prefs.rangedb = 120;
        return g.exitSave() ? kSucceeded : kReported;
    });
    EXPECT_EQ(rc, kReported);
    EXPECT_EQ(slurp(file), kOldGraph);
    EXPECT_EQ(strayFiles(file.parent_path(), {"wavgraphsetup"}), std::vector<std::string>{});
}

TEST(FullDiskSave, WithRoomTheSameSavesGoThrough) {
    // The child machinery itself: without the limit each save succeeds.
    TempDir d;
    spit(d.path / "wavoscsetup", kOldPanel);
    const int rc = onFullDisk(RLIM_INFINITY, [&] {
        FakeSound snd;
        panel::PanelModel panel(snd, d.path.string());
        return panel.off() ? kSucceeded : kUnreported;
    });
    EXPECT_EQ(rc, kSucceeded);
    EXPECT_NE(slurp(d.path / "wavoscsetup"), kOldPanel);
}

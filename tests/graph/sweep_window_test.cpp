// The sweep window's curves: a sweep's files written, read back and drawn;
// each view's plot and CSV; the window measuring through the sound layer
// (a take that is the path's, one spoilt by timing), saving and overlays.
#include "audio/fake_sound.h"
#include "audio/recorder.h"
#include "formats/textfile.h"
#include "graph/sweep_window.h"
#include "graph_test_util.h"
#include "report/sweep.h"
#include "report/sweep_take.h"
#include "ui/file_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <numbers>

using namespace qelvar;
using namespace qelvar::graph;
using namespace qelvar::graph::test;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kA = 0.3, kC2 = 0.02; // the path: x + c2·x², then a 1-pole low-pass

std::complex<double> lowPass(double hz) {
    return kA / (1.0 - (1 - kA) * std::polar(1.0, -2 * kPi * hz / 44100));
}

// The sweep files of a 2-s sweep through the path, written into `dir`.
void writePathSweep(const std::string& dir) {
    const report::Sweep s = report::makeSweep({});
    double state = 0;
    std::vector<double> take(s.samples.size() + 22050, 0.0);
    for (std::size_t i = 0; i < take.size(); ++i) {
        const double x = i < s.samples.size() ? s.samples[i] : 0.0;
        state = kA * (x + kC2 * x * x) + (1 - kA) * state;
        take[i] = state;
    }
    const report::SweepResponse r = report::analyseSweep(s, take);
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(report::writeSweepFiles(dir, s, 1, {}, {r, r}, error)) << error;
}

// The row of `c` nearest `hz`.
std::size_t rowAt(const SweepCurves& c, double hz) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < c.hz.size(); ++i)
        if (std::abs(std::log(c.hz[i] / hz)) < std::abs(std::log(c.hz[best] / hz)))
            best = i;
    return best;
}

const PlotSeries* series(const Plot& p, const std::string& label) {
    for (const auto& s : p.series)
        if (s.label == label)
            return &s;
    return nullptr;
}

} // namespace

// What a sweep writes comes back as its curves, against the path's own
// response in closed form; what is not a sweep's file is refused.
TEST(SweepCurves, TheFilesReadBackAsThePathsCurves) {
    TempHome home;
    const std::string dir = dataPath("path");
    writePathSweep(dir);
    SweepCurves c;
    std::string error;
    ASSERT_TRUE(loadSweepCurves(dir, c, error)) << error;
    EXPECT_EQ(c.name, "path");
    // The x² term's DC leaks into the lowest octaves (as a DC-coupled path
    // would), and its step where the sweep ends ripples the upper ones by
    // about 0.02 dB: read from 1 kHz up, to 0.03 dB.
    for (double hz : {1000.0, 3000.0, 10000.0}) {
        SCOPED_TRACE(hz);
        const std::size_t i = rowAt(c, hz);
        const double f = c.hz[i];
        EXPECT_NEAR(c.ch[0].db[i], 20 * std::log10(std::abs(lowPass(f))), 0.03);
        EXPECT_NEAR(wrappedDeg(c.ch[1].phaseDeg[i]), std::arg(lowPass(f)) * 180 / kPi, 0.5);
        // H2 of x + c2·x² at the sweep's peak A: c2·A/2, through |G(2f)/G(f)|.
        if (f < 5000) {
            EXPECT_NEAR(c.ch[0].harmonicDb[0][i],
                        20 * std::log10(kC2 * 0.25 * std::abs(lowPass(2 * f) / lowPass(f))), 0.3);
        }
    }
    EXPECT_TRUE(std::isnan(c.ch[0].harmonicDb[0].back())); // 2f beyond the sweep
    ASSERT_EQ(c.impulseRate, 44100);
    EXPECT_NEAR(c.impulse[0][0], kA, 0.01);

    for (const std::string bad : {"frequency_hz,left_db\r\n10,1\r\n", "", "garbage"}) {
        SweepCurves none;
        EXPECT_FALSE(parseSweepCsv(bad, none, error)) << bad;
    }
    std::string csv = *readWholeFile(dir + "/sweep.csv");
    const std::string header = csv.substr(0, csv.find('\n') + 1);
    SweepCurves none;
    EXPECT_FALSE(parseSweepCsv(header + "20,x" + std::string(15, ',') + "\r\n", none, error));
    EXPECT_FALSE(parseSweepCsv(header + "20" + std::string(16, ',') + "\r\n10" +
                                   std::string(16, ',') + "\r\n",
                               none, error)); // frequencies must rise
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

// Smoothing averages power over the band and keeps a flat curve flat;
// phase wraps into ±180; each view plots what it says, the page's steps
// placed at the sweep's level at 1 kHz; CSV holds what is drawn.
TEST(SweepCurves, EachViewPlotsAndExportsWhatItShows) {
    std::vector<double> hz, flat, step;
    for (double f = 10; f < 20000; f *= std::pow(2.0, 1.0 / 48)) {
        hz.push_back(f);
        flat.push_back(-3);
        step.push_back(f < 1000 ? 0 : -10);
    }
    for (double v : smoothedDb(hz, flat, 3))
        EXPECT_NEAR(v, -3, 1e-9);
    const auto s3 = smoothedDb(hz, step, 3);
    const std::size_t at1k = rowAt(SweepCurves{"", hz, {}, 0, {}}, 1000);
    EXPECT_GT(s3[at1k], -10);
    EXPECT_LT(s3[at1k], 0);
    EXPECT_NEAR(s3[at1k - 20], 0, 1e-9); // beyond 1/6 octave below
    EXPECT_EQ(smoothedDb(hz, step, 0), step);
    EXPECT_DOUBLE_EQ(wrappedDeg(190), -170);
    EXPECT_DOUBLE_EQ(wrappedDeg(-540), -180);

    TempHome home;
    writePathSweep(dataPath("path"));
    SweepCurves c;
    std::string error;
    ASSERT_TRUE(loadSweepCurves(dataPath("path"), c, error));
    ViewOptions o;
    // Steps 6 dB below the path at 1 kHz land on the curve there.
    StepPoints steps{{100, 1000, 10000}, {}};
    const double g1k = 20 * std::log10(std::abs(lowPass(1000)));
    for (auto& d : steps.db)
        d = {20 * std::log10(std::abs(lowPass(100))) - 6, g1k - 6,
             20 * std::log10(std::abs(lowPass(10000))) - 6};
    const Plot r = plotView(SweepView::Response, {&c}, o, &steps);
    ASSERT_EQ(r.series.size(), 4u);
    const PlotSeries* pts = series(r, "page steps left");
    ASSERT_TRUE(pts && pts->points);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(pts->xy[std::size_t(i)].second,
                    c.ch[0].db[rowAt(c, pts->xy[std::size_t(i)].first)], 0.05);
    EXPECT_TRUE(r.logX);
    EXPECT_GE(r.y1, 0);
    EXPECT_LE(r.y0, 20 * std::log10(std::abs(lowPass(19000))));

    o.wrapPhase = true;
    const Plot ph = plotView(SweepView::Phase, {&c, &c}, o);
    EXPECT_EQ(ph.series.size(), 4u); // two channels of the sweep and of the overlay
    EXPECT_EQ(ph.y0, -180);
    for (const auto& [x, y] : ph.series[0].xy)
        EXPECT_TRUE(std::isnan(y) || (y >= -180 && y <= 180));
    o.left = false;
    const Plot d = plotView(SweepView::Distortion, {&c}, o);
    ASSERT_EQ(d.series.size(), 5u);
    EXPECT_EQ(d.series[0].label, "H2 right");
    const Plot im = plotView(SweepView::Impulse, {&c}, o);
    EXPECT_FALSE(im.logX);
    ASSERT_EQ(im.series.size(), 1u);
    EXPECT_NEAR(im.series[0].xy[0].second, kA, 0.01);
    EXPECT_GE(im.x1, 5);
    EXPECT_GE(im.y1, kA);

    o.left = true;
    o.smoothing = 6;
    const std::string csv = viewCsv(SweepView::Response, c, o);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_hz,left_db,right_db\r");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), long(c.hz.size()) + 1);
    const auto smooth = smoothedDb(c.hz, c.ch[0].db, 6);
    const std::size_t k = rowAt(c, 1000);
    std::string row = csv;
    for (std::size_t i = 0; i <= k; ++i)
        row = row.substr(row.find('\n') + 1);
    EXPECT_NEAR(std::stod(row.substr(row.find(',') + 1)), smooth[k], 1e-4);
    const std::string dist = viewCsv(SweepView::Distortion, c, o);
    EXPECT_EQ(dist.substr(0, dist.find('\r')),
              "frequency_hz,left_h2_db,left_h3_db,left_h4_db,left_h5_db,left_thd_db,right_h2_db,"
              "right_h3_db,right_h4_db,right_h5_db,right_thd_db");
    const std::string imp = viewCsv(SweepView::Impulse, c, o);
    EXPECT_EQ(imp.substr(0, imp.find('\r')), "time_ms,left,right");
    EXPECT_EQ(std::count(imp.begin(), imp.end(), '\n'), long(c.impulse[0].size()) + 1);
}

namespace {

// The window measuring through a sound layer whose take is exactly what
// was played (a wire), with the take's result as `result` says.
struct Measured {
    TempHome home;
    audio::FakeSound snd;
    std::unique_ptr<SweepWindow> w;
    explicit Measured(audio::TakeResult result = {audio::TakeResult::State::Good, {}}) {
        snd.result = result;
        snd.onSave = [](const std::string& path) {
            std::filesystem::copy_file(dataPath("qelvarreport.wav"), path,
                                       std::filesystem::copy_options::overwrite_existing);
        };
        audio::setServices(&snd);
        w = std::make_unique<SweepWindow>(dataDir(), [] {
            return StepPoints{{100, 1000, 10000}, {{{-1, -1, -1}, {-2, -2, -2}}}};
        });
        w->findChild<QSpinBox*>("txtSweepLength")->setValue(1);
    }
    ~Measured() { audio::setServices(nullptr); }
    bool run() {
        bool drawn = false, ended = false;
        QObject::connect(w.get(), &SweepWindow::measured, [&](bool d) {
            drawn = d;
            ended = true;
        });
        w->measure();
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return drawn;
    }
};

} // namespace

TEST(SweepWindow, AMeasuredSweepIsDrawnSavedAndLaidBesideAnother) {
    Measured m;
    EXPECT_FALSE(m.w->saveTo(QString::fromStdString(dataPath("none"))));
    ASSERT_TRUE(m.run()) << m.w->statusText().toStdString();
    EXPECT_EQ(m.w->statusText(), "Sweep of 1.00 s measured");
    const SweepCurves* c = m.w->curves();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "measured");
    EXPECT_NEAR(c->ch[0].db[rowAt(*c, 1000)], 0, 0.01);
    EXPECT_NEAR(c->ch[1].db[rowAt(*c, 15000)], 0, 0.01);
    // The page's steps sit on the wire's 0 dB at 1 kHz.
    const PlotSeries* pts = series(m.w->plot(), "page steps right");
    ASSERT_TRUE(pts);
    EXPECT_NEAR(pts->xy[1].second, 0, 0.02);

    const QString saved = QString::fromStdString(dataPath("saved"));
    ASSERT_TRUE(m.w->saveTo(saved));
    m.w->setView(SweepView::GroupDelay);
    ASSERT_TRUE(m.w->overlayFrom(saved));
    EXPECT_EQ(m.w->overlays(), 1);
    EXPECT_EQ(m.w->plot().series.size(), 4u);
    EXPECT_EQ(m.w->plot().series[2].label, "saved left");
    m.w->clearOverlays();
    EXPECT_EQ(m.w->plot().series.size(), 2u);
    const QString csv = QString::fromStdString(dataPath("delay.csv"));
    ASSERT_TRUE(m.w->exportCsvTo(csv));
    ViewOptions o;
    EXPECT_EQ(*readWholeFile(csv.toStdString()), viewCsv(SweepView::GroupDelay, *c, o));
    EXPECT_FALSE(m.w->loadFrom(QString::fromStdString(dataPath("nothing"))));
    EXPECT_TRUE(m.w->curves()); // a failed load keeps what is shown
    // A window opened later shows the last measurement.
    SweepWindow again(dataDir());
    ASSERT_TRUE(again.curves());
    EXPECT_EQ(again.curves()->name, "measured");
}

// Every play spoilt by timing: nothing drawn, and the reason said; a take
// that reached full scale is the path's own and is drawn, with its mark.
TEST(SweepWindow, ATakeSpoiltByTimingIsNotDrawn) {
    {
        Measured m({audio::TakeResult::State::Suspect, audio::kWhyShifted});
        EXPECT_FALSE(m.run());
        EXPECT_FALSE(m.w->curves());
        EXPECT_EQ(m.w->statusText().toStdString(), "Not drawn: " + std::string(audio::kWhyShifted));
        EXPECT_FALSE(std::filesystem::exists(dataPath("qelvarsweep/sweep.csv")));
    }
    Measured m({audio::TakeResult::State::Suspect, audio::kWhyClipped});
    EXPECT_TRUE(m.run());
    EXPECT_TRUE(m.w->curves());
    EXPECT_TRUE(m.w->statusText().endsWith(QStringLiteral("(%1)").arg(audio::kWhyClipped)));
}

// Analysis > Sweep analysis opens one window, which draws the form's steps.
TEST(SweepWindow, TheGraphFormOpensItWithItsSteps) {
    OpenGraph g;
    writePathSweep(dataPath("qelvarsweep"));
    g.w->action("mnuSweep")->trigger();
    SweepWindow* s = g.w->sweepWindow();
    ASSERT_TRUE(s && s->isVisible());
    g.w->action("mnuSweep")->trigger();
    EXPECT_EQ(g.w->sweepWindow(), s);
    const PlotSeries* pts = series(s->plot(), "page steps left");
    ASSERT_TRUE(pts);
    EXPECT_EQ(pts->xy.size(), 3u);
    EXPECT_EQ(pts->xy[2].first, 10000);
}

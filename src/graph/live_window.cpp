#include "graph/live_window.h"

#include "audio/sound.h"
#include "common/files.h"
#include "report/test_signal.h"
#include "ui/registry.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qelvar::graph {
namespace {

// The display's face: near-black glass, a green left and an amber right.
const QColor kGlass(14, 18, 16);
const QColor kScale(70, 86, 78);
const QColor kScaleText(150, 170, 160);
const QColor kChannel[2] = {QColor(80, 230, 160), QColor(255, 184, 60)};
const QColor kClip(235, 50, 40);
const QColor kHum(200, 90, 200, 150);

constexpr double kMeterLow = -60; // dBFS at the meters' left end
constexpr double kSpecLow = -150, kSpecHigh = 0;
constexpr double kLowHz = 20, kHighHz = 20000;
constexpr const char* kToneFile = "livetone.wav";

QFont scaleFont() {
    QFont f("DejaVu Sans", 8);
    f.setPixelSize(11);
    return f;
}

QString dbText(double v) {
    return v <= report::LiveMeter::kFloorDbfs ? QStringLiteral("  -inf")
                                              : QString::asprintf("%6.1f", v);
}

// Two horizontal bars, one a channel: the RMS filled, the peak a bright
// tick, the clip lamp at the right end.
class MeterView : public QWidget {
  public:
    MeterView(const report::LiveMeter& m, QWidget* parent) : QWidget(parent), m_(m) {
        setMinimumSize(560, 92);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), kGlass);
        p.setFont(scaleFont());
        const double left = 28, right = width() - 200;
        const auto x = [&](double db) {
            return left +
                   (right - left) * (std::clamp(db, kMeterLow, 0.0) - kMeterLow) / -kMeterLow;
        };
        for (double db = kMeterLow; db <= 0; db += 6) {
            p.setPen(kScale);
            p.drawLine(QPointF(x(db), 8), QPointF(x(db), 66));
            p.setPen(kScaleText);
            p.drawText(QRectF(x(db) - 20, 68, 40, 16), Qt::AlignCenter,
                       QString::number(static_cast<int>(db)));
        }
        for (int ch = 0; ch < 2; ++ch) {
            const double top = 10 + ch * 28;
            p.setPen(kScaleText);
            p.drawText(QRectF(4, top, 20, 20), Qt::AlignCenter, ch == 0 ? "L" : "R");
            p.fillRect(QRectF(left, top + 3, right - left, 14), QColor(30, 36, 33));
            QColor bar = kChannel[ch];
            bar.setAlpha(190);
            p.fillRect(QRectF(left, top + 3, x(m_.rmsDbfs(ch)) - left, 14), bar);
            p.fillRect(QRectF(x(m_.peakDbfs(ch)) - 1.5, top, 3, 20), kChannel[ch].lighter(130));
            // The clip lamp, lit until reset.
            p.setPen(Qt::NoPen);
            p.setBrush(m_.clipped(ch) ? kClip : QColor(60, 20, 18));
            p.drawEllipse(QPointF(right + 24, top + 10), 6, 6);
            p.setPen(kChannel[ch]);
            p.setFont(QFont("DejaVu Sans Mono", 9));
            p.drawText(
                QRectF(right + 40, top, 160, 20), Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("pk%1  rms%2").arg(dbText(m_.peakDbfs(ch)), dbText(m_.rmsDbfs(ch))));
            p.setFont(scaleFont());
        }
        p.setPen(kScaleText);
        p.drawText(QRectF(right + 8, 68, 32, 16), Qt::AlignCenter, QStringLiteral("CLIP"));
        p.drawText(QRectF(right + 40, 68, 160, 16), Qt::AlignLeft, QStringLiteral("dBFS"));
    }

  private:
    const report::LiveMeter& m_;
};

// The spectrum on a log frequency axis: each channel's averaged curve,
// its held peaks faint above it, or 1/3-octave bars; hum frequencies marked.
// The grid is drawn once a size into a pixmap; the curves are polylines of
// one point a pixel column, so an update costs little whatever the bins.
class SpectrumView : public QWidget {
  public:
    SpectrumView(const report::LiveMeter& m, QWidget* parent) : QWidget(parent), m_(m) {
        setMinimumSize(560, 300);
    }
    bool hold = true, bands = false;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (back_.size() != size() * devicePixelRatioF())
            drawBack();
        p.drawPixmap(0, 0, back_);
        p.setClipRect(area());
        for (int ch = 0; ch < 2; ++ch) {
            if (bands) {
                drawBands(p, ch);
            } else {
                if (hold)
                    drawCurve(p, m_.peakHoldDb(ch), QPen(kChannel[ch].darker(220), 1));
                drawCurve(p, m_.spectrumDb(ch), QPen(kChannel[ch], 1));
            }
        }
    }

  private:
    QRectF area() const { return QRectF(44, 22, width() - 60, height() - 46); }
    double x(double hz) const {
        const QRectF a = area();
        return a.left() + a.width() * std::log(std::clamp(hz, kLowHz, kHighHz) / kLowHz) /
                              std::log(kHighHz / kLowHz);
    }
    double y(double db) const {
        const QRectF a = area();
        return a.top() + a.height() * (kSpecHigh - std::clamp(db, kSpecLow, kSpecHigh)) /
                             (kSpecHigh - kSpecLow);
    }

    void drawBack() {
        back_ = QPixmap(size() * devicePixelRatioF());
        back_.setDevicePixelRatio(devicePixelRatioF());
        back_.fill(kGlass);
        QPainter p(&back_);
        p.setFont(scaleFont());
        const QRectF a = area();
        for (double db = kSpecHigh; db >= kSpecLow; db -= 20) {
            p.setPen(kScale);
            p.drawLine(QPointF(a.left(), y(db)), QPointF(a.right(), y(db)));
            p.setPen(kScaleText);
            p.drawText(QRectF(0, y(db) - 8, 40, 16), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(static_cast<int>(db)));
        }
        for (double decade = 10; decade <= 10000; decade *= 10)
            for (int k = 1; k <= 9; ++k) {
                const double hz = decade * k;
                if (hz < kLowHz || hz > kHighHz)
                    continue;
                const bool major = k == 1 || k == 2 || k == 5;
                p.setPen(major ? kScale : kScale.darker(150));
                p.drawLine(QPointF(x(hz), a.top()), QPointF(x(hz), a.bottom()));
                if (major) {
                    p.setPen(kScaleText);
                    p.drawText(QRectF(x(hz) - 24, a.bottom() + 4, 48, 16), Qt::AlignCenter,
                               hz >= 1000 ? QStringLiteral("%1k").arg(hz / 1000)
                                          : QString::number(hz));
                }
            }
        p.setPen(kScaleText);
        p.drawText(QRectF(0, a.bottom() + 4, 40, 16), Qt::AlignRight, QStringLiteral("Hz"));
        p.drawText(QRectF(0, 2, 40, 14), Qt::AlignRight, QStringLiteral("dBFS"));
        // Where mains hum and its harmonics would stand.
        p.setPen(QPen(kHum, 1, Qt::DashLine));
        for (double hz : {50.0, 100.0, 150.0, 60.0, 120.0, 180.0})
            p.drawLine(QPointF(x(hz), a.top()), QPointF(x(hz), a.bottom()));
        p.setPen(kHum);
        p.drawText(QRectF(x(50) - 30, a.top() + 2, 60, 14), Qt::AlignCenter, QStringLiteral("hum"));
        columns_.clear();
    }

    // The pixel column of each bin (-1 outside the axis), worked out once.
    const std::vector<int>& columns(std::size_t bins) {
        if (columns_.size() != bins) {
            columns_.assign(bins, -1);
            for (std::size_t i = 1; i < bins; ++i) {
                const double hz = double(i) * m_.binHz();
                if (hz >= kLowHz * 0.9 && hz <= kHighHz * 1.1)
                    columns_[i] = static_cast<int>(std::floor(x(hz)));
            }
        }
        return columns_;
    }

    void drawCurve(QPainter& p, const std::vector<double>& db, const QPen& pen) {
        if (db.size() < 2)
            return;
        const auto& col = columns(db.size());
        points_.clear();
        int column = -1;
        double top = -1e9;
        for (std::size_t i = 1; i < db.size(); ++i) {
            if (col[i] < 0)
                continue;
            if (col[i] != column && column >= 0) {
                points_.emplace_back(column, y(top));
                top = -1e9;
            }
            column = col[i];
            top = std::max(top, db[i]);
        }
        if (column >= 0)
            points_.emplace_back(column, y(top));
        p.setPen(pen);
        p.drawPolyline(points_.data(), static_cast<int>(points_.size()));
    }

    void drawBands(QPainter& p, int ch) {
        const auto db = m_.thirdOctaveDb(ch);
        const auto& centres = report::LiveMeter::thirdOctaveCentres();
        QColor fill = kChannel[ch];
        fill.setAlpha(ch == 0 ? 170 : 130);
        for (std::size_t i = 0; i < centres.size(); ++i) {
            const double lo = x(centres[i] / std::pow(2.0, 1.0 / 6)),
                         hi = x(centres[i] * std::pow(2.0, 1.0 / 6));
            const double w = (hi - lo) / 2 - 1;
            p.fillRect(QRectF(lo + 1 + ch * w, y(db[i]), w, area().bottom() - y(db[i])), fill);
        }
    }

    const report::LiveMeter& m_;
    QPixmap back_;
    std::vector<int> columns_;
    std::vector<QPointF> points_;
};

} // namespace

LiveWindow::LiveWindow(std::string folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)) {
    setObjectName(QStringLiteral("LiveInput"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Live input"));
    auto* meters = new MeterView(meter_, this);
    auto* spectrum = new SpectrumView(meter_, this);
    meters_ = meters;
    spectrum_ = spectrum;
    average_ = new QCheckBox(QStringLiteral("&Average"), this);
    average_->setChecked(true);
    hold_ = new QCheckBox(QStringLiteral("Peak &hold"), this);
    hold_->setChecked(true);
    bands_ = new QCheckBox(QStringLiteral("&1/3 octave"), this);
    tone_ = new QPushButton(QStringLiteral("&Play 1 kHz at \u22123 dBFS"), this);
    tone_->setCheckable(true);
    tone_->setToolTip(QStringLiteral("Loops the set-up check's tone: set the input's gain so "
                                     "that it reads about \u22123 dBFS"));
    auto* reset = new QPushButton(QStringLiteral("&Reset"), this);
    reset->setToolTip(QStringLiteral("Puts out the clip lamps and forgets the held peaks"));
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("Readout"));
    readout_->setFont(QFont("DejaVu Sans Mono", 9));

    auto* controls = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(average_), static_cast<QWidget*>(hold_),
                       static_cast<QWidget*>(bands_)})
        controls->addWidget(w);
    controls->addStretch();
    controls->addWidget(tone_);
    controls->addWidget(reset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(meters);
    layout->addWidget(spectrum, 1);
    layout->addLayout(controls);
    layout->addWidget(readout_);

    connect(average_, &QCheckBox::toggled, this,
            [this](bool on) { meter_.setAveraging(on ? 0.3 : 1.0); });
    connect(hold_, &QCheckBox::toggled, this, [spectrum](bool on) {
        spectrum->hold = on;
        spectrum->update();
    });
    connect(bands_, &QCheckBox::toggled, this, [spectrum](bool on) {
        spectrum->bands = on;
        spectrum->update();
    });
    connect(tone_, &QPushButton::toggled, this, &LiveWindow::playTone);
    connect(reset, &QPushButton::clicked, this, [this] {
        meter_.resetClip();
        meter_.resetPeakHold();
        update();
    });
    timer_.setInterval(1000 / kUpdatesPerSecond);
    connect(&timer_, &QTimer::timeout, this, &LiveWindow::update);

    auto& reg = ui::Registry::instance();
    reg.addWindow(QStringLiteral("live"), this);
    reg.addControl(QStringLiteral("live"), QStringLiteral("Average"), average_);
    reg.addControl(QStringLiteral("live"), QStringLiteral("PeakHold"), hold_);
    reg.addControl(QStringLiteral("live"), QStringLiteral("ThirdOctave"), bands_);
    reg.addControl(QStringLiteral("live"), QStringLiteral("PlayTone"), tone_);
    reg.addControl(QStringLiteral("live"), QStringLiteral("Reset"), reset);
    reg.addControl(QStringLiteral("live"), QStringLiteral("Readout"), readout_);
    resize(760, 560);
}

LiveWindow::~LiveWindow() {
    if (tonePlaying_)
        audio::services().playSound("0", audio::kPurgeAll);
}

void LiveWindow::update() {
    meter_.feed(audio::services().inputTail(
        std::max(report::LiveMeter::kFftFrames, report::LiveMeter::kRmsFrames)));
    QString text;
    for (int ch = 0; ch < 2; ++ch)
        text += QStringLiteral("%1: strongest %2 Hz at %3 dBFS   ")
                    .arg(ch == 0 ? "L" : "R")
                    .arg(meter_.toneHz(ch), 7, 'f', 1)
                    .arg(dbText(meter_.toneDbfs(ch)).trimmed());
    readout_->setText(text.trimmed());
    meters_->update();
    spectrum_->update();
}

void LiveWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    timer_.start();
}

void LiveWindow::hideEvent(QHideEvent* e) {
    timer_.stop();
    if (tone_->isChecked())
        tone_->setChecked(false); // no tone plays on unseen
    QWidget::hideEvent(e);
}

// One second of the tone, 1000 whole cycles, looped without a seam.
void LiveWindow::playTone(bool on) {
    auto& snd = audio::services();
    if (!on) {
        if (tonePlaying_)
            snd.playSound("0", audio::kPurgeAll);
        tonePlaying_ = false;
        return;
    }
    std::vector<std::int32_t> samples(2 * 44100);
    const double a = std::pow(10.0, report::kTestLevelDb / 20) * report::kFullScale;
    for (std::size_t k = 0; k < 44100; ++k)
        samples[2 * k] = samples[2 * k + 1] = static_cast<std::int32_t>(
            std::lround(a * std::sin(2 * std::numbers::pi * 1000.0 * double(k) / 44100)));
    const std::string path = folder_ + "/" + kToneFile;
    ensureDataDir();
    tonePlaying_ =
        replaceFile(path, report::wavFile(samples)) && snd.playSound(path, audio::kLoopFile) != 0;
    if (!tonePlaying_)
        tone_->setChecked(false);
}

} // namespace qelvar::graph

#include "graph/sweep_window.h"

#include "audio/recorder.h"
#include "audio/sound.h"
#include "common/files.h"
#include "formats/textfile.h"
#include "report/report_run.h"
#include "report/sweep_take.h"
#include "ui/file_dialogs.h"
#include "ui/registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <filesystem>

namespace qelvar::graph {
namespace {

constexpr const char* kMeasured = "qelvarsweep"; // the last measurement's folder
const int kSmoothing[] = {0, 24, 12, 6, 3};

QColor colour(std::uint32_t rgb) {
    return QColor::fromRgb(rgb);
}

// Grid values of a log axis: 1, 2 and 5 of each decade.
std::vector<double> logTicks(double x0, double x1) {
    std::vector<double> t;
    for (double d = std::pow(10.0, std::floor(std::log10(x0))); d <= x1; d *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (d * m >= x0 * 0.999 && d * m <= x1 * 1.001)
                t.push_back(d * m);
    return t;
}

QString tickText(double v, bool hz) {
    if (hz && v >= 1000)
        return QString::number(v / 1000, 'g', 3) + QStringLiteral("k");
    return QString::number(v, 'g', 4);
}

// Linear grid: about 8 steps of 1, 2 or 5 times a power of ten.
double linearStep(double span) {
    const double raw = span / 8;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (p * m >= raw)
            return p * m;
    return p * 10;
}

} // namespace

SweepPlotWidget::SweepPlotWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Sweep plot"));
}

void SweepPlotWidget::setPlot(Plot p) {
    plot_ = std::move(p);
    update();
}

void SweepPlotWidget::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.fillRect(rect(), Qt::white);
    paintPlot(g, QRectF(rect()), plot_);
}

void paintPlot(QPainter& g, const QRectF& within, const Plot& p) {
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics fm = g.fontMetrics();
    const double left = fm.horizontalAdvance(QStringLiteral("-0000.0")) + fm.height() + 10;
    const double top = fm.height() + 8;
    const double bottom = 2 * fm.height() + 14 + (p.note.empty() ? 0 : fm.height() + 2);
    const double scale = std::max(1.0, fm.height() / 16.0); // pens and marks at any resolution
    const QRectF area(within.left() + left, within.top() + top, within.width() - left - 16 * scale,
                      within.height() - top - bottom);
    if (area.width() < 50 || area.height() < 50) {
        g.restore();
        return;
    }
    const auto X = [&](double x) {
        const double t =
            p.logX ? std::log(x / p.x0) / std::log(p.x1 / p.x0) : (x - p.x0) / (p.x1 - p.x0);
        return area.left() + t * area.width();
    };
    const auto Y = [&](double y) {
        return area.bottom() - (y - p.y0) / (p.y1 - p.y0) * area.height();
    };
    // Grid and tick labels.
    const QPen minor(QColor(0xd8, 0xd8, 0xd8), scale), major(QColor(0xa0, 0xa0, 0xa0), scale);
    g.setPen(Qt::black);
    const std::vector<double> xt = p.logX ? logTicks(p.x0, p.x1) : [&] {
        std::vector<double> t;
        const double s = linearStep(p.x1 - p.x0);
        for (double x = std::ceil(p.x0 / s) * s; x <= p.x1 + s * 1e-6; x += s)
            t.push_back(x);
        return t;
    }();
    for (double x : xt) {
        const bool decade = p.logX && std::abs(std::log10(x) - std::round(std::log10(x))) < 1e-9;
        g.setPen(decade || !p.logX ? major : minor);
        g.drawLine(QPointF(X(x), area.top()), QPointF(X(x), area.bottom()));
        g.setPen(Qt::black);
        const QString t = tickText(x, p.logX);
        g.drawText(QPointF(X(x) - fm.horizontalAdvance(t) / 2.0, area.bottom() + fm.ascent() + 4),
                   t);
    }
    const double ys = linearStep(p.y1 - p.y0);
    for (double y = std::ceil(p.y0 / ys) * ys; y <= p.y1 + ys * 1e-6; y += ys) {
        g.setPen(std::abs(y) < ys * 1e-6 ? QPen(QColor(0x70, 0x70, 0x70), scale) : major);
        g.drawLine(QPointF(area.left(), Y(y)), QPointF(area.right(), Y(y)));
        g.setPen(Qt::black);
        const QString t = QString::number(std::abs(y) < ys * 1e-6 ? 0.0 : y, 'g', 5);
        g.drawText(QPointF(area.left() - fm.horizontalAdvance(t) - 5, Y(y) + fm.ascent() / 2.5), t);
    }
    g.setPen(QPen(Qt::black, scale));
    g.drawRect(area);
    // Axis titles and the note.
    const QString xt2 = QString::fromStdString(p.xTitle);
    g.drawText(QPointF(area.center().x() - fm.horizontalAdvance(xt2) / 2.0,
                       area.bottom() + 2 * fm.height() + 6),
               xt2);
    if (!p.note.empty())
        g.drawText(QPointF(area.left(), area.bottom() + 3 * fm.height() + 8),
                   QString::fromStdString(p.note));
    g.save();
    g.translate(within.left() + fm.height(), area.center().y());
    g.rotate(-90);
    const QString yt = QString::fromStdString(p.yTitle);
    g.drawText(QPointF(-fm.horizontalAdvance(yt) / 2.0, 0), yt);
    g.restore();
    // The series, clipped to the plot.
    g.save();
    g.setClipRect(area);
    for (const PlotSeries& s : p.series) {
        QPen pen(colour(s.rgb), (s.points ? 1.5 : 1.6) * scale);
        if (s.dashed)
            pen.setStyle(Qt::DashLine);
        g.setPen(pen);
        if (s.points) {
            g.setBrush(Qt::white);
            for (const auto& [x, y] : s.xy)
                if (std::isfinite(y) && x > 0)
                    g.drawEllipse(QPointF(X(x), Y(y)), 3.5 * scale, 3.5 * scale);
            g.setBrush(Qt::NoBrush);
            continue;
        }
        QPainterPath path;
        bool open = false;
        for (const auto& [x, y] : s.xy) {
            if (!std::isfinite(y) || (p.logX && x <= 0)) {
                open = false;
                continue;
            }
            const QPointF pt(X(x), std::clamp(Y(y), area.top() - 1e4, area.bottom() + 1e4));
            if (open)
                path.lineTo(pt);
            else
                path.moveTo(pt);
            open = true;
        }
        g.drawPath(path);
    }
    g.restore();
    // The legend, top right inside the plot.
    int row = 0;
    const double lw = 28 * scale;
    double widest = 0;
    for (const PlotSeries& s : p.series)
        widest = std::max<double>(widest, fm.horizontalAdvance(QString::fromStdString(s.label)));
    // In the corner the curves cross least.
    const QSizeF size(widest + lw + 12, fm.height() * double(p.series.size()) + 6);
    QRectF box;
    std::size_t least = SIZE_MAX;
    for (const QPointF corner :
         {QPointF(area.right() - size.width() - 6, area.top() + 6),
          QPointF(area.left() + 6, area.bottom() - size.height() - 6),
          QPointF(area.right() - size.width() - 6, area.bottom() - size.height() - 6),
          QPointF(area.left() + 6, area.top() + 6)}) {
        const QRectF r(corner, size);
        std::size_t inside = 0;
        for (const PlotSeries& s : p.series)
            for (const auto& [x, y] : s.xy)
                if (std::isfinite(y) && x > 0 && r.contains(X(x), Y(y)))
                    ++inside;
        if (inside < least) {
            least = inside;
            box = r;
        }
    }
    if (!p.series.empty()) {
        g.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), scale));
        g.setBrush(QColor(255, 255, 255, 230));
        g.drawRect(box);
        g.setBrush(Qt::NoBrush);
    }
    for (const PlotSeries& s : p.series) {
        const double y = box.top() + 3 + fm.height() * (row + 0.5);
        QPen pen(colour(s.rgb), 1.6 * scale);
        if (s.dashed)
            pen.setStyle(Qt::DashLine);
        g.setPen(pen);
        if (s.points)
            g.drawEllipse(QPointF(box.left() + 6 + lw / 2.0, y), 3.5 * scale, 3.5 * scale);
        else
            g.drawLine(QPointF(box.left() + 6, y), QPointF(box.left() + 6 + lw, y));
        g.setPen(Qt::black);
        g.drawText(QPointF(box.left() + lw + 10, y + fm.ascent() / 2.5),
                   QString::fromStdString(s.label));
        ++row;
    }
    g.restore();
}

SweepWindow::SweepWindow(const std::string& folder, std::function<StepPoints()> steps,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder), steps_(std::move(steps)) {
    setObjectName(QStringLiteral("SweepWindow"));
    setWindowTitle(QStringLiteral("Sweep Analysis"));
    build();
    // The last measurement, when there is one.
    const QString last = QDir(QString::fromStdString(folder_)).filePath(kMeasured);
    if (QFileInfo::exists(last + QStringLiteral("/sweep.csv")) && loadFrom(last))
        setStatus(QStringLiteral("The last sweep measured; Measure plays a new one"));
    else
        setStatus(QStringLiteral("Measure plays a sweep through the sound path"));
}

SweepWindow::~SweepWindow() {
    if (run_) {
        run_->disconnect(this);
        delete run_;
    }
}

void SweepWindow::build() {
    auto* views = new QComboBox(this);
    for (int v = 0; v < kSweepViews; ++v)
        views->addItem(QString::fromLatin1(viewName(SweepView(v))));
    view_ = views;
    smoothing_ = new QComboBox(this);
    for (const char* s : {"No smoothing", "1/24 octave", "1/12 octave", "1/6 octave", "1/3 octave"})
        smoothing_->addItem(QString::fromLatin1(s));
    wrap_ = new QCheckBox(QStringLiteral("&Wrapped"), this);
    left_ = new QCheckBox(QStringLiteral("&Left"), this);
    right_ = new QCheckBox(QStringLiteral("&Right"), this);
    left_->setChecked(true);
    right_->setChecked(true);
    length_ = new QSpinBox(this);
    length_->setRange(1, 16);
    length_->setValue(2);
    length_->setSuffix(QStringLiteral(" s"));
    averages_ = new QSpinBox(this);
    averages_->setRange(1, 8);
    averages_->setValue(1);
    averages_->setSuffix(QStringLiteral(" x"));
    measure_ = new QPushButton(QStringLiteral("&Measure"), this);
    measure_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel_->hide();
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->hide();
    auto* load = new QPushButton(QStringLiteral("L&oad..."), this);
    auto* overlay = new QPushButton(QStringLiteral("O&verlay..."), this);
    auto* clear = new QPushButton(QStringLiteral("Clear o&verlays"), this);
    auto* save = new QPushButton(QStringLiteral("&Save..."), this);
    auto* csv = new QPushButton(QStringLiteral("&Export CSV..."), this);
    status_ = new QLabel(this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    plot_ = new SweepPlotWidget(this);

    const std::pair<QWidget*, const char*> names[] = {
        {view_, "cboSweepView"},     {smoothing_, "cboSmoothing"},  {wrap_, "chkWrapPhase"},
        {left_, "chkSweepLeft"},     {right_, "chkSweepRight"},     {length_, "txtSweepLength"},
        {averages_, "txtAverages"},  {measure_, "cmdSweepMeasure"}, {cancel_, "cmdSweepCancel"},
        {bar_, "SweepProgress"},     {load, "cmdSweepLoad"},        {overlay, "cmdSweepOverlay"},
        {clear, "cmdClearOverlays"}, {save, "cmdSweepSave"},        {csv, "cmdSweepCsv"},
        {status_, "lblSweepStatus"}, {plot_, "SweepPlot"}};
    auto& reg = ui::Registry::instance();
    for (const auto& [w, name] : names) {
        w->setObjectName(QString::fromLatin1(name));
        reg.addControl(QStringLiteral("sweep"), QString::fromLatin1(name), w);
    }
    reg.addWindow(QStringLiteral("sweep"), this);
    view_->setAccessibleName(QStringLiteral("View"));
    smoothing_->setAccessibleName(QStringLiteral("Smoothing"));
    length_->setAccessibleName(QStringLiteral("Sweep length"));
    averages_->setAccessibleName(QStringLiteral("Averages"));
    length_->setToolTip(QStringLiteral("Seconds of sweep from 10 Hz to 0.45 of the rate"));
    averages_->setToolTip(QStringLiteral("Sweeps played and averaged"));

    auto* top = new QHBoxLayout;
    const auto labelled = [this, top](const QString& text, QWidget* w) {
        auto* l = new QLabel(text, this);
        l->setBuddy(w);
        top->addWidget(l);
        top->addWidget(w);
    };
    labelled(QStringLiteral("&View:"), view_);
    top->addWidget(smoothing_);
    top->addWidget(wrap_);
    top->addSpacing(8);
    top->addWidget(left_);
    top->addWidget(right_);
    top->addStretch();
    labelled(QStringLiteral("Len&gth:"), length_);
    labelled(QStringLiteral("&Averages:"), averages_);
    top->addWidget(measure_);
    top->addWidget(cancel_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(bar_);
    for (QPushButton* b : {load, overlay, clear, save, csv})
        bottom->addWidget(b);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(plot_, 1);
    all->addLayout(bottom);

    connect(view_, &QComboBox::currentIndexChanged, this, &SweepWindow::redraw);
    connect(smoothing_, &QComboBox::currentIndexChanged, this, &SweepWindow::redraw);
    for (QCheckBox* c : {wrap_, left_, right_})
        connect(c, &QCheckBox::toggled, this, &SweepWindow::redraw);
    connect(measure_, &QPushButton::clicked, this, &SweepWindow::measure);
    connect(cancel_, &QPushButton::clicked, this, &SweepWindow::cancel);
    connect(clear, &QPushButton::clicked, this, &SweepWindow::clearOverlays);
    const auto pick = [this](const QString& caption) {
        const QString file = ui::getOpenFileName(this, caption, QString::fromStdString(folder_),
                                                 QStringLiteral("Sweep curves (sweep.csv)"));
        return file.isEmpty() ? file : QFileInfo(file).absolutePath();
    };
    connect(load, &QPushButton::clicked, this, [this, pick] {
        if (const QString dir = pick(QStringLiteral("Load a sweep")); !dir.isEmpty())
            loadFrom(dir);
    });
    connect(overlay, &QPushButton::clicked, this, [this, pick] {
        if (const QString dir = pick(QStringLiteral("Lay a sweep beside this one")); !dir.isEmpty())
            overlayFrom(dir);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString dir = ui::getSaveFileName(
            this, QStringLiteral("Folder for the sweep"),
            QDir(QString::fromStdString(folder_)).filePath(QStringLiteral("sweep")), QString());
        if (!dir.isEmpty())
            saveTo(dir);
    });
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString file = ui::getSaveFileName(
            this, QStringLiteral("Export the view as CSV"),
            QDir(QString::fromStdString(folder_))
                .filePath(QString::fromLatin1(viewName(view())).toLower().replace(' ', '_') +
                          QStringLiteral(".csv")),
            QStringLiteral("CSV files (*.csv)"));
        if (!file.isEmpty())
            exportCsvTo(file);
    });
    resize(900, 600);
    redraw();
}

ViewOptions SweepWindow::options() const {
    ViewOptions o;
    o.smoothing = kSmoothing[std::max(0, smoothing_->currentIndex())];
    o.wrapPhase = wrap_->isChecked();
    o.left = left_->isChecked();
    o.right = right_->isChecked();
    return o;
}

SweepView SweepWindow::view() const {
    return SweepView(std::max(0, view_->currentIndex()));
}

void SweepWindow::setView(SweepView v) {
    view_->setCurrentIndex(int(v));
}

const Plot& SweepWindow::plot() const {
    return plot_->plot();
}

QString SweepWindow::statusText() const {
    return status_->text();
}

void SweepWindow::setStatus(const QString& text) {
    status_->setText(text);
}

void SweepWindow::redraw() {
    const SweepView v = view();
    smoothing_->setEnabled(v == SweepView::Response || v == SweepView::Distortion);
    wrap_->setEnabled(v == SweepView::Phase);
    std::vector<const SweepCurves*> all;
    if (main_)
        all.push_back(&*main_);
    for (const SweepCurves& c : overlays_)
        all.push_back(&c);
    std::optional<StepPoints> steps;
    if (steps_ && v == SweepView::Response)
        steps = steps_();
    plot_->setPlot(plotView(v, all, options(), steps ? &*steps : nullptr));
}

bool SweepWindow::loadFrom(const QString& dir) {
    SweepCurves c;
    std::string error;
    if (!loadSweepCurves(dir.toStdString(), c, error)) {
        setStatus(QString::fromStdString(error));
        return false;
    }
    if (c.name == kMeasured)
        c.name = "measured";
    main_ = std::move(c);
    setStatus(QStringLiteral("Loaded %1").arg(dir));
    redraw();
    return true;
}

bool SweepWindow::overlayFrom(const QString& dir) {
    SweepCurves c;
    std::string error;
    if (!loadSweepCurves(dir.toStdString(), c, error)) {
        setStatus(QString::fromStdString(error));
        return false;
    }
    if (!main_)
        main_ = std::move(c);
    else
        overlays_.push_back(std::move(c));
    setStatus(QStringLiteral("Laid beside it: %1").arg(dir));
    redraw();
    return true;
}

void SweepWindow::clearOverlays() {
    overlays_.clear();
    redraw();
}

bool SweepWindow::saveTo(const QString& dir) {
    const QString from = QDir(QString::fromStdString(folder_)).filePath(kMeasured);
    if (!main_ || !QFileInfo::exists(from + QStringLiteral("/sweep.csv"))) {
        setStatus(QStringLiteral("Nothing to save: measure a sweep first"));
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir.toStdString(), ec);
    for (const char* name : {"sweep.csv", "sweep.json", "impulse.wav"}) {
        const auto bytes = readWholeFile((from + '/' + QLatin1String(name)).toStdString());
        const std::string to = (dir + '/' + QLatin1String(name)).toStdString();
        if (!bytes || !replaceFile(to, *bytes, true)) {
            setStatus(QStringLiteral("Could not write %1").arg(QString::fromStdString(to)));
            return false;
        }
    }
    setStatus(QStringLiteral("Saved to %1").arg(dir));
    return true;
}

bool SweepWindow::exportCsvTo(const QString& path) {
    if (!main_) {
        setStatus(QStringLiteral("Nothing to export: measure or load a sweep first"));
        return false;
    }
    if (!replaceFile(path.toStdString(), viewCsv(view(), *main_, options()), true)) {
        setStatus(QStringLiteral("Could not write %1").arg(path));
        return false;
    }
    setStatus(QStringLiteral("%1 written to %2").arg(QString::fromLatin1(viewName(view())), path));
    return true;
}

void SweepWindow::measure() {
    if (run_)
        return;
    if (audio::services().soundPlaying()) {
        setStatus(
            QStringLiteral("Stop the sound first: the sweep needs the sound device to itself"));
        return;
    }
    runAverages_ = averages_->value();
    report::SweepPlan plan;
    plan.seconds = length_->value();
    runSweep_ = report::makeSweep(plan);
    run_ = new report::ReportRun(audio::services(), folder_, this);
    run_->setSignal(report::sweepSignal(runSweep_, runAverages_), false);
    connect(run_, &report::ReportRun::progress, this, &SweepWindow::setStatus);
    connect(run_, &report::ReportRun::advanced, this,
            [this](int percent, int) { bar_->setValue(percent); });
    connect(run_, &report::ReportRun::finished, this, &SweepWindow::runEnded);
    measure_->setEnabled(false);
    cancel_->show();
    bar_->setValue(0);
    bar_->show();
    run_->start();
}

void SweepWindow::cancel() {
    if (run_)
        run_->cancel();
}

void SweepWindow::runEnded() {
    cancel_->hide();
    bar_->hide();
    measure_->setEnabled(true);
    const report::Report r = run_->report();
    const bool cancelled = run_->cancelled();
    const std::vector<std::int32_t> take = run_->take();
    run_->deleteLater();
    run_ = nullptr;
    if (cancelled) {
        setStatus(QStringLiteral("Sweep cancelled"));
        emit measured(false);
        return;
    }
    if (!r.failure.empty() || report::timingFault(r.takeWarning)) {
        // What is on the plot stays; the new sweep is not drawn.
        const std::string why = r.failure.empty() ? r.takeWarning : r.failure;
        const bool said = why.find("play again") != std::string::npos;
        setStatus(QStringLiteral("Not drawn: %1%2")
                      .arg(QString::fromStdString(why), said ? "" : "; play again"));
        emit measured(false);
        return;
    }
    const report::Sweep& sweep = runSweep_;
    const auto takes = report::averagedTake(sweep, runAverages_, take);
    const std::array<report::SweepResponse, 2> responses{report::analyseSweep(sweep, takes[0]),
                                                         report::analyseSweep(sweep, takes[1])};
    if (const std::string why = report::refusal(responses); !why.empty()) {
        setStatus(QStringLiteral("Not drawn: %1").arg(QString::fromStdString(why)));
        emit measured(false);
        return;
    }
    const QString dir = QDir(QString::fromStdString(folder_)).filePath(kMeasured);
    std::error_code ec;
    std::filesystem::create_directories(dir.toStdString(), ec);
    std::string error;
    if (!report::writeSweepFiles(dir.toStdString(), sweep, runAverages_, r.conditions, responses,
                                 error)) {
        setStatus(QStringLiteral("Could not write %1").arg(QString::fromStdString(error)));
        emit measured(false);
        return;
    }
    if (!loadFrom(dir)) {
        emit measured(false);
        return;
    }
    QString said = QStringLiteral("Sweep of %1 s measured").arg(sweep.seconds, 0, 'f', 2);
    if (runAverages_ > 1)
        said += QStringLiteral(", %1 averaged").arg(runAverages_);
    if (!r.takeWarning.empty())
        said += QStringLiteral(" (%1)").arg(QString::fromStdString(r.takeWarning));
    setStatus(said);
    emit measured(true);
}

} // namespace qelvar::graph

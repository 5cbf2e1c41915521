// The sweep window: one exponential sine sweep through the sound path, and
// what it gives at fine resolution: the response (with the page's 20 steps
// drawn over it as points), phase, group delay, the impulse response and
// the harmonics against frequency. A measurement is written as sweep files
// into the data folder and read back from them, so it can be saved, and
// sweeps saved earlier loaded beside it.
#pragma once

#include "graph/sweep_curves.h"
#include "report/sweep.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPainter;
class QRectF;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace qelvar::report {
class ReportRun;
}

namespace qelvar::graph {

// A Plot drawn into `area` of any paint device (the window, a PDF page):
// axes, grid, the series, their legend.
void paintPlot(QPainter& g, const QRectF& area, const Plot& p);

// The plot on screen.
class SweepPlotWidget : public QWidget {
    Q_OBJECT
  public:
    explicit SweepPlotWidget(QWidget* parent = nullptr);
    void setPlot(Plot p);
    const Plot& plot() const { return plot_; }
    QSize sizeHint() const override { return {820, 480}; }
    QSize minimumSizeHint() const override { return {480, 300}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    Plot plot_;
};

class SweepWindow : public QWidget {
    Q_OBJECT
  public:
    // Works in `folder` (the data folder: the last measurement's files in
    // its "qelvarsweep" folder); `steps` gives the page's readings.
    explicit SweepWindow(const std::string& folder, std::function<StepPoints()> steps = {},
                         QWidget* parent = nullptr);
    ~SweepWindow() override;

    // Plays the sweep (length and averages as set) and shows its curves.
    void measure();
    void cancel();
    bool measuring() const { return run_ != nullptr; }
    // The curves in `dir` as the measurement shown, or beside it.
    bool loadFrom(const QString& dir);
    bool overlayFrom(const QString& dir);
    void clearOverlays();
    // The measurement's files into `dir` (made if need be).
    bool saveTo(const QString& dir);
    // The view's values as shown, to `path`.
    bool exportCsvTo(const QString& path);

    void setView(SweepView v);
    SweepView view() const;
    const SweepCurves* curves() const { return main_ ? &*main_ : nullptr; }
    int overlays() const { return static_cast<int>(overlays_.size()); }
    const Plot& plot() const;
    QString statusText() const;

  signals:
    // A measurement came to its end: drawn, or not (the status says why).
    void measured(bool drawn);

  private:
    void build();
    void redraw();
    void setStatus(const QString& text);
    void runEnded();
    ViewOptions options() const;

    std::string folder_;
    std::function<StepPoints()> steps_;
    std::optional<SweepCurves> main_;
    std::vector<SweepCurves> overlays_;
    report::ReportRun* run_ = nullptr;
    report::Sweep runSweep_; // the one played
    int runAverages_ = 1;

    SweepPlotWidget* plot_ = nullptr;
    QComboBox *view_ = nullptr, *smoothing_ = nullptr;
    QCheckBox *wrap_ = nullptr, *left_ = nullptr, *right_ = nullptr;
    QSpinBox *length_ = nullptr, *averages_ = nullptr;
    QPushButton *measure_ = nullptr, *cancel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace qelvar::graph

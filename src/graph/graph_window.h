// The graph form: the frequency-response plot of one measured sweep with
// its menus, sweep files and printing. It reads its preference file and
// the graph data file while it is built.
//
// Closing the window by any means (File > Exit, the window manager's close
// button, close() from the program) saves the preferences as Exit always
// has. A save that fails keeps the window open once, with the reason on the
// status line; closing again closes without saving. When the program closes
// the window because the session ends (setClosingForQuit), a failed save is
// only reported on standard error and the window closes: nothing waits for
// a person there.
//
// The window opens at its default size (the plot 795 x 542 pixels) or
// smaller where the screen is smaller, and can be made as small as about
// 600 x 400; the plot is redrawn for its size and the captions follow it.
#pragma once

#include "common/files.h"
#include "graph/graph_model.h"
#include "graph/graph_print.h"
#include "report/report_run.h"

#include <QMainWindow>

#include <array>

class QAction;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace qelvar::graph {

class GraphCanvas;
class SweepWindow;
struct StepPoints;

class GraphWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Works in `folder`, the data folder unless told otherwise.
    explicit GraphWindow(const std::string& folder = dataDir(), QWidget* parent = nullptr);
    // A test run still going on is cancelled: nothing is written for it.
    ~GraphWindow() override;

    const GraphModel& model() const { return model_; }
    // The retained drawing (grid and curves, no controls).
    QImage image() const;
    // The drawing area with its controls, as "Printscreen" prints it.
    QImage clientImage() const;
    QString statusText() const;
    QAction* action(const QString& name) const;

    // Menu commands.
    void mnuFileOpen();
    void mnuSave();
    void mnuExportCsv();
    // Analysis: THD+N instead of the levels; the sound-card test run.
    void mnuThdN(bool on);
    void mnuReport();
    // Analysis > Check set-up: the short check signal through the same run;
    // its findings and notes in a window of their own.
    void mnuCheckSetup();
    // Analysis > Sweep analysis: the window of the whole curve from one sweep.
    void mnuSweep();
    SweepWindow* sweepWindow() const { return sweep_; }

  signals:
    // Analysis > Live input: the program's one live input window.
    void liveInputRequested();

  public:
    // Stops the test run going on, if any; its report is not written.
    void cancelReport();
    void exitForm();
    void plottoprint();
    void printscreen();
    void clear();
    void chooseOption(const OptionItem& item);

    // The program is closing the window for the session's end (SIGTERM, the
    // application quitting): a close then never stays open and never shows
    // a dialog. Set it before calling close().
    void setClosingForQuit(bool quitting) { closingForQuit_ = quitting; }
    // What a close saves, without closing; false when it failed.
    bool saveAsClosing() { return model_.exitSave(); }
    // VIEW GRAPH while the form is open: the page's latest data.
    void showPageData(const std::array<bool, GraphModel::kSteps + 1>& suspect);

    // Showing fits the window to its screen (ui::fitToScreen).
    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildMenus();
    void buildControls();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption);
    QLabel* addLabel(const QString& name, double points);
    void sync();
    void placeLabels();
    void describePlot();
    void setStatus(const QString& text);
    // The dialog's answer, or an empty string after cancel or a failure.
    QString askFile(bool save);
    void showDialogError(int number);
    void buildRunControls();
    void reportEnded();
    void startRun(bool check);
    void showSetup(const report::Report& r);
    void showRunProgress(int percent, int secondsLeft);
    ScreenScale screenScale() const;
    StepPoints stepPoints() const;

    GraphModel model_;
    GraphCanvas* canvas_ = nullptr;
    QLineEdit* title_ = nullptr;
    std::array<QLabel*, 11> label1_{};
    QLabel *label2_ = nullptr, *label3_ = nullptr, *label4_ = nullptr, *label6_ = nullptr,
           *label7_ = nullptr, *label8_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* runBar_ = nullptr;   // the test run's progress, shown while it runs
    QPushButton* runCancel_ = nullptr; // and its Cancel
    std::vector<std::pair<const OptionItem*, QAction*>> options_;
    std::vector<QAction*> actions_;
    bool exitWarned_ = false;          // a close failed to save once; the next one closes
    bool exiting_ = false;             // the close comes from File > Exit
    bool closingForQuit_ = false;      // see setClosingForQuit
    report::ReportRun* run_ = nullptr; // the test run going on, if any
    QString reportDir_;
    bool checking_ = false; // the run is the set-up check, not the report
    QMessageBox* setupBox_ = nullptr;
    SweepWindow* sweep_ = nullptr;
};

} // namespace qelvar::graph

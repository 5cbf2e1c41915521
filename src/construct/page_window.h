// The construction page window: shows the page model's controls and
// forwards clicks, typing and the sequencer clock to it.
#pragma once

#include "construct/page_model.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace qelvar::construct {

class IndicatorBox;

class PageWindow : public QWidget {
    Q_OBJECT
  public:
    // Opens the page: reads its set-up and calibration files and fills the
    // controls. The window deletes itself when closed.
    explicit PageWindow(audio::SoundServices& snd, QWidget* parent = nullptr);

    PageModel& model() { return model_; }
    // Timer interval now running, 0 when stopped (for tests).
    int timerInterval() const { return timer_.isActive() ? timer_.interval() : 0; }
    bool polling() const { return pollTimer_.isActive(); }
    // The session is ending (a signal, or the panel closing): closing then
    // saves as OFF does but never stays open, a failed save is only told
    // on standard error.
    void setClosingForQuit(bool quitting) { quitting_ = quitting; }
    // What a close saves, without closing (the session is saving, or the
    // program is ending where no window can close); false when it failed.
    bool saveAsClosing();

  signals:
    // VIEW GRAPH wrote the graph data file; the graph form should show it.
    void viewGraphRequested();

  protected:
    // However the page is closed (its OFF, the window manager, Ctrl+Q, the
    // session's end) it saves and stops its sound as OFF does. A close whose
    // save fails leaves the page open once to say so; the next one closes.
    void closeEvent(QCloseEvent* event) override;
    // Ctrl+Tab in the scratchpad types a tab (Tab moves on).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Layout pieces (page_window_layout.cpp).
    void buildLayout();
    QGroupBox* makeTable();
    QGroupBox* makePulse();
    QGroupBox* makeSequencer();
    QGroupBox* makeMeasurement();
    QLabel* makeNotes();
    QGroupBox* makeSignals();
    QGroupBox* makeNoise();
    QGroupBox* makeScratchpad();
    QWidget* makeTitle();
    QWidget* makeMessageBar();
    void makeHidden();
    void setTabOrder();
    void nameForScreenReaders();
    void addShortcuts();

    // Control factories that also register the control's script name.
    QLineEdit* numberBox(const QString& name, std::string* text, int chars = 6);
    QPushButton* button(const QString& name, const QString& caption,
                        std::function<void()> action = {});
    IndicatorBox* lamp(const QString& name);
    QCheckBox* includeBox(int element);

    void act(const std::function<void()>& action);
    void onTick();
    void onPoll();
    void refresh();
    void syncTimer(bool restart);
    void syncPoll();
    void off();
    void help();

    PageModel model_;
    QTimer timer_;
    // Runs only while takes' results are still to come, which may be after
    // the sequence has ended.
    QTimer pollTimer_;

    std::array<QLineEdit*, 22> freq_{};
    std::array<QLineEdit*, 22> attL_{};
    std::array<QLineEdit*, 25> attR_{};
    std::array<QLineEdit*, 22> length_{};
    std::array<QCheckBox*, 25> include_{};
    std::array<IndicatorBox*, 24> indicator_{};
    std::array<QPushButton*, 21> build_{};
    std::array<QLineEdit*, 21> left_{};
    std::array<QLineEdit*, 21> right_{};
    std::array<IndicatorBox*, kLampCount> lamps_{};
    std::array<IndicatorBox*, kSignalCount> signalLamps_{};
    QLineEdit* offset_ = nullptr;
    QPlainTextEdit* scratchpad_ = nullptr;
    QPlainTextEdit* status_ = nullptr;
    QLabel* notes_ = nullptr;
    QPointer<QWidget> help_;
    bool saved_ = false;  // OFF has saved; the close needs nothing more
    bool warned_ = false; // a close could not save once; the next one closes
    bool quitting_ = false;
};

} // namespace qelvar::construct

// The oscillator panel's window: the painted face with invisible keys,
// readouts and entry boxes over it, showing a PanelModel.
#pragma once

#include "help/help_window.h"
#include "panel/panel_model.h"
#include "audio/sound.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QTimer;

namespace qelvar::panel {

class KeyButton;
class LampSquare;

class PanelWindow : public QWidget {
    Q_OBJECT
  public:
    // Runs the panel's start-up in the data directory; the window is not
    // shown yet. The main help screen is loaded hidden.
    explicit PanelWindow(audio::SoundServices& snd, QWidget* parent = nullptr);
    ~PanelWindow() override;

    PanelModel& model() { return *model_; }
    help::HelpWindow* helpWindow() const { return help_; }
    // The line under the face ("" while there is nothing to say).
    QString statusLine() const;

  signals:
    // The User key: the construction page should be shown.
    void userRequested();

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void buildControls();
    void registerControls();
    void connectKeys();
    void act(void (PanelModel::*action)());
    void offKey();
    void helpKey();
    void refresh();
    void pollSound();
    void showStatus();

    audio::SoundServices& snd_;
    std::unique_ptr<PanelModel> model_;
    QPixmap face_;
    std::array<KeyButton*, 13> keys_{};
    std::array<QLabel*, 8> readouts_{};
    QLineEdit* freqEdit_ = nullptr;
    QLineEdit* leftEdit_ = nullptr;
    QLineEdit* rightEdit_ = nullptr;
    LampSquare* lamp1_ = nullptr;
    LampSquare* lamp2_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* soundPoll_ = nullptr;
    int pollsLeft_ = 0;
    bool offWarned_ = false; // Off failed to save once; the next Off closes
    QString soundStatus_;
    QPointer<help::HelpWindow> help_;
};

} // namespace qelvar::panel

// The oscillator panel's window: the painted face with invisible keys,
// readouts and entry boxes over it, showing a PanelModel.
#pragma once

#include "audio/sound.h"
#include "help/help_window.h"
#include "panel/panel_model.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QTimer;

namespace qelvar::panel {

class DisplayEdit;
class GlowLabel;
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
    // The key with script name `name` (Label16 ...), or null.
    KeyButton* key(const QString& name) const;

    // Closing for the end of the session (the program was told to end):
    // the memories are saved as by Off, but a failed save is reported on
    // standard error and the panel closes regardless, with no question.
    void setClosingForQuit(bool on) { closingForQuit_ = on; }
    // What a close saves, without closing (the session is saving, or the
    // program is ending where no window can close); false when it failed.
    bool saveAsClosing();

  signals:
    // The User key: the construction page should be shown.
    void userRequested();

  protected:
    void paintEvent(QPaintEvent*) override;
    // However the panel is closed (Off, the close box, the desktop), it
    // does what Off does: the tone stops and the memories are saved.
    void closeEvent(QCloseEvent*) override;

  private:
    void buildControls();
    void registerControls();
    void connectKeys();
    void setUpKeyboard();
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
    std::array<GlowLabel*, 8> readouts_{};
    DisplayEdit* freqEdit_ = nullptr;
    DisplayEdit* leftEdit_ = nullptr;
    DisplayEdit* rightEdit_ = nullptr;
    LampSquare* lamp1_ = nullptr;
    LampSquare* lamp2_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* soundPoll_ = nullptr;
    int pollsLeft_ = 0;
    bool offWarned_ = false; // Off failed to save once; the next Off closes
    bool closingForQuit_ = false;
    bool closed_ = false;      // the memories were saved (or given up) at close
    bool soundWorked_ = false; // the sound layer was seen working
    bool soundLost_ = false;   // ... and then failed: nothing can play now
    QString soundStatus_;
    QPointer<help::HelpWindow> help_;
};

} // namespace qelvar::panel

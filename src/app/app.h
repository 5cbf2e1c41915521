// The program's windows and how they open one another: the panel first;
// its User key shows the construction page; the page's VIEW GRAPH shows the
// graph form, or brings an open one forward. Closing the panel closes the
// page and the graph first, each saving as its own off control does, so no
// window is left without a way back to the panel; the session's end closes
// them all the same way.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace qelvar::audio {
class SoundServices;
}

namespace qelvar::app {

class App : public QObject {
    Q_OBJECT
  public:
    explicit App(audio::SoundServices& sound, QObject* parent = nullptr);

    // Loads and shows the oscillator panel.
    void start();

  public slots:
    void showPage();
    void showGraph();
    // The live input window (Ctrl+L on the panel and the page, the graph's
    // Analysis menu): one for the program, brought forward when open.
    void showLive();
    // Brings the open windows forward (a second copy asked for it).
    void bringForward();
    // Closes every window as its off control would, then ends the program.
    void endSession();
    // Saves what every window's close saves, closing none: the session
    // manager asks before a logout, or the display went away and the
    // program ends without its windows.
    void saveEverything();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Ctrl+L on `w` shows the live input window.
    void liveKey(QWidget* w);
    // Closes the page and the graph; false when one stayed open.
    bool closeWorkWindows(bool quitting);

    audio::SoundServices& sound_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> page_;
    QPointer<QWidget> graph_;
    QPointer<QWidget> live_;
};

} // namespace qelvar::app

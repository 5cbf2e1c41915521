// The program's windows and how they open one another: the panel first;
// its User key shows the construction page; the page's VIEW GRAPH shows the
// graph form, or brings an open one forward.
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

private:
    audio::SoundServices& sound_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> page_;
    QPointer<QWidget> graph_;
};

} // namespace qelvar::app

// Script mode: runs a file of commands against the real windows, one line
// at a time inside the event loop, so timers tick and sound plays during a
// `wait`. See the README for the commands.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace qelvar::app {

class ScriptRunner : public QObject {
    Q_OBJECT
  public:
    // `isKnownWindow` tells a window name that exists in the program but
    // may not be open yet (for `shown W`).
    explicit ScriptRunner(QStringList lines, QObject* parent = nullptr);

    // Starts after the event loop has run once.
    void start();

    // Reads FILE, or standard input for "-". False when it cannot be read.
    static bool readScript(const QString& path, QStringList& lines);

  private:
    void next();
    // Runs one command; false with a reason when it cannot be carried out.
    // `delayMs` is set by `wait`.
    bool run(const QString& line, QString& reason, int& delayMs);
    [[noreturn]] void fail(const QString& reason);

    QStringList lines_;
    int index_ = 0;
};

} // namespace qelvar::app

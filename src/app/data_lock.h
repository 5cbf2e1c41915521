// One copy of the program per data folder. Two copies on one folder would
// overwrite each other's set-up, memory and sweep files without a word, so
// the first takes a lock file in the folder, and a second one finds it held
// and may ask the first, through a local socket, to come forward. A lock
// left by a copy that was killed is stale and taken over.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace qelvar::app {

class DataFolderLock : public QObject {
    Q_OBJECT
  public:
    explicit DataFolderLock(const QString& folder, QObject* parent = nullptr);
    ~DataFolderLock() override;

    // False when another copy holds the folder. True when this copy now
    // holds it and listens for others, or when no lock can be made there.
    bool acquire();
    // The process holding the folder (after acquire() failed), or 0.
    qint64 ownerPid() const;
    // Asks the copy holding the folder to bring its windows forward; true
    // when it answered.
    bool askOwnerToShow();
    // Lets the folder go (the program is ending); the destructor does too.
    void release();
    // The lock file's path.
    QString lockPath() const { return lockPath_; }

  signals:
    // Another copy asked this one to come forward.
    void showRequested();

  private:
    QString lockPath_;
    QString socketName_;
    QLockFile lock_;
    QLocalServer server_;
};

} // namespace qelvar::app

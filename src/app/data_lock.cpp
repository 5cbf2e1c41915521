#include "app/data_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace qelvar::app {

namespace {

constexpr int kAnswerMs = 2000;
const QByteArray kShow = "show\n";
const QByteArray kShown = "shown\n";

// One socket name per folder, so copies on different folders never meet.
QString socketNameFor(const QString& folder) {
    const QByteArray path = QFileInfo(folder).absoluteFilePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex();
    return QStringLiteral("qelvar-%1").arg(QString::fromLatin1(hash.left(16)));
}

} // namespace

DataFolderLock::DataFolderLock(const QString& folder, QObject* parent)
    : QObject(parent), lockPath_(QDir(folder).filePath(QStringLiteral("qelvar.lock"))),
      socketName_(socketNameFor(folder)), lock_(lockPath_) {
    // A copy that stops answering for good is detected by its process, not
    // by the lock's age.
    lock_.setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine())
                    return;
                if (peer->readLine() == kShow) {
                    peer->write(kShown);
                    peer->flush();
                    emit showRequested();
                }
                peer->disconnectFromServer();
            });
        }
    });
}

DataFolderLock::~DataFolderLock() {
    release();
}

void DataFolderLock::release() {
    server_.close();
    lock_.unlock();
}

bool DataFolderLock::acquire() {
    // A folder where no lock can be made at all (not writable) is no one's:
    // the windows say what cannot be saved there.
    if (!lock_.tryLock(0))
        return lock_.error() != QLockFile::LockFailedError;
    QLocalServer::removeServer(socketName_); // left by a copy that was killed
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(socketName_);
    return true;
}

qint64 DataFolderLock::ownerPid() const {
    qint64 pid = 0;
    QString host, app;
    return lock_.getLockInfo(&pid, &host, &app) ? pid : 0;
}

bool DataFolderLock::askOwnerToShow() {
    QLocalSocket socket;
    socket.connectToServer(socketName_);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kShow);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
    return socket.readLine() == kShown;
}

} // namespace qelvar::app

#include "platform/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>

namespace tollix {

namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseAnswer[] = "ok\n";

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent) {
    QString base = folder;
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    lockPath_ = base + "/" + name + ".lock";
    socketPath_ = base + "/" + name + ".socket";
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

QString SingleInstance::DefaultName() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    display.replace(QRegularExpression("[^A-Za-z0-9_.-]"), "_");
    return QString("tollix-%1-%2").arg(getuid()).arg(display.isEmpty() ? "none" : display);
}

bool SingleInstance::Claim() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    lock_->setStaleLockTime(0);  // only a lock whose process is gone is stale
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // The lock is ours, so a socket file left behind belongs to a copy that is gone.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_)) {
        // Still the only copy: the lock says so. Only a second start cannot reach it.
        qWarning(
            "tollix: cannot listen on %s (%s); a second start cannot bring this copy "
            "forward",
            qPrintable(socketPath_), qPrintable(server_.errorString()));
    }
    return true;
}

bool SingleInstance::AskRunningCopyToRaise(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(timeoutMs) || !socket.waitForReadyRead(timeoutMs)) {
        return false;
    }
    return socket.readAll() == kRaiseAnswer;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine(64) == kRaiseRequest) {
                socket->write(kRaiseAnswer);
                socket->flush();
                emit raiseRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

}  // namespace tollix

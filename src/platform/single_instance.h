#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tollix {

// One running copy per user and display. The first copy holds a lock file and a local
// socket, both named for the display, in the user's runtime folder; a later copy finds the
// lock held, asks the first one over the socket to bring its window forward, and exits.
// A copy that crashed leaves a lock whose process is gone: the next start takes it over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `name` tells copies apart that may run side by side (by default the user's display);
    // `folder` is where the lock and the socket live (by default the runtime folder).
    explicit SingleInstance(const QString& name = DefaultName(), const QString& folder = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy: the lock is taken. The socket then listens for later
    // copies; when it cannot (a path too long, say), that is logged and this copy runs.
    bool Claim();
    // Asks the running copy to bring its window forward; true when it answered.
    bool AskRunningCopyToRaise(int timeoutMs = 3000);

    static QString DefaultName();

signals:
    // Another copy was started: bring the main window forward.
    void raiseRequested();

private:
    void OnConnection();

    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace tollix

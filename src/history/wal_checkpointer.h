#pragma once

#include <QString>
#include <QThread>

namespace tollix {

// Copies what the WAL holds into the history file twice a second, from a thread and a
// connection of its own. A checkpoint waits for the disk to sync; done by the connection
// that stores the texts, it would stall the event loop for tens of milliseconds every
// few hundred texts. It never holds up a commit: texts go on being written to the WAL
// while it runs.
class WalCheckpointer : public QThread {
public:
    explicit WalCheckpointer(const QString& filePath);
    // Stops the thread and closes its connection.
    ~WalCheckpointer() override;

private:
    void run() override;

    QString filePath_;
};

}  // namespace tollix

#pragma once

#include <QString>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace tollix {

// Copies what the WAL holds into the history file, from a thread and a connection of its
// own, half a second after it is asked to: the writes of that half second share one
// checkpoint, and nothing runs while nothing is written. A checkpoint waits for the disk
// to sync; done by the connection that stores the texts, it would stall the event loop
// for tens of milliseconds every few hundred texts. It never holds up a commit: texts go
// on being written to the WAL while it runs.
class WalCheckpointer : public QThread {
public:
    explicit WalCheckpointer(const QString& filePath);
    // Stops the thread and closes its connection.
    ~WalCheckpointer() override;

    // Something was written: a checkpoint follows within half a second.
    void Request();

private:
    void run() override;

    QString filePath_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stopping_ = false;
};

}  // namespace tollix

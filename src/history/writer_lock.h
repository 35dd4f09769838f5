#pragma once

#include <QString>
#include <optional>

namespace tollix {

// The right to write one history file, held by one process at a time: an advisory lock
// (flock) on FILE.lock beside it, which the system lets go of when the process ends, however
// it ends. The holder writes its process id into the lock file, so that another program can
// say who keeps the history.
class WriterLock {
public:
    enum class Outcome { Held, HeldByOther, Failed };

    WriterLock() = default;
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    ~WriterLock() { Release(); }

    // Takes the lock of `filePath` without waiting. `detail` receives the holder's process
    // id (HeldByOther, when it is known) or the system's reason (Failed).
    Outcome Take(const QString& filePath, QString& detail);
    void Release();
    bool IsHeld() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

// The file's device and inode: a file moved aside and replaced by another under the same
// name has a new one. None when the file does not exist.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const QString& path);

}  // namespace tollix

#include "history/writer_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace tollix {

WriterLock::Outcome WriterLock::Take(const QString& filePath, QString& detail) {
    Release();
    const QString lockPath = filePath + ".lock";
    const int fd =
        ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        detail = lockPath + ": " + QString::fromLocal8Bit(std::strerror(errno));
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        std::array<char, 32> holder{};
        const bool read =
            error == EWOULDBLOCK && ::pread(fd, holder.data(), holder.size() - 1, 0) > 0;
        ::close(fd);
        if (error != EWOULDBLOCK) {
            detail = lockPath + ": " + QString::fromLocal8Bit(std::strerror(error));
            return Outcome::Failed;
        }
        bool number = false;
        const QString pid = QString::fromLatin1(holder.data()).trimmed();
        detail = read && pid.toLongLong(&number) > 0 && number ? pid : QString();
        return Outcome::HeldByOther;
    }
    // The id only names the holder in another program's message; the lock is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    const bool named = ::ftruncate(fd, 0) == 0 &&
                       ::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    static_cast<void>(named);
    descriptor_ = fd;
    return Outcome::Held;
}

void WriterLock::Release() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);  // lets go of the lock
        descriptor_ = -1;
    }
}

std::optional<FileIdentity> IdentityOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace tollix

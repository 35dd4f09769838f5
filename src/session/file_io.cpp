#include "session/file_io.h"

#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <cstring>

#include "session/sha256.h"

namespace tollix {

namespace {

// Prefixes are hashed in blocks of this size, checking between them whether to stop.
constexpr qint64 kHashBlock = 1024 * 1024;

}  // namespace

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

FileError WriteFailure(int error) {
    const bool full = error == ENOSPC || error == EDQUOT;
    return {full ? FileFailure::DiskFull : FileFailure::WriteError, SystemText(error), false};
}

bool ReadAt(int fd, char* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, static_cast<std::size_t>(size), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = 0;
            }
            return false;
        }
        data += got;
        size -= got;
        offset += got;
    }
    return true;
}

bool WriteAt(int fd, const char* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t wrote = ::pwrite(fd, data, static_cast<std::size_t>(size), offset);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= wrote;
        offset += wrote;
    }
    return true;
}

bool HashPrefix(int fd, qint64 size, Sha256& sha, const StopCheck& stop) {
    QByteArray block(static_cast<qsizetype>(std::min(size, kHashBlock)), Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += block.size()) {
        const qint64 length = std::min(size - at, kHashBlock);
        if (stop() || !ReadAt(fd, block.data(), length, at)) {
            return false;
        }
        sha.Add(block.constData(), length);
    }
    return true;
}

}  // namespace tollix

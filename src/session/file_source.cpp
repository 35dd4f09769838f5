#include "session/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "session/file_io.h"
#include "session/file_resume.h"

namespace tollix {

SourceFile::~SourceFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

FileError SourceFile::Open(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        return {FileFailure::ReadError, path + ": " + SystemText(errno)};
    }
    if (!S_ISREG(status.st_mode)) {
        return {FileFailure::ReadError, path + ": not a regular file"};
    }
    size_ = status.st_size;
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return {};
}

qint64 SourceFile::Begin(qint64 asked, const QByteArray& theirSha, const StopCheck& stop,
                         FileError& error) {
    sha_.Reset();
    if (asked <= 0 || asked > size_) {
        return SenderStart(asked, theirSha, {}, size_);
    }
    if (!HashPrefix(fd_, asked, sha_, stop)) {
        error = {errno == 0 ? FileFailure::FileChanged : FileFailure::ReadError,
                 errno == 0 ? QString() : SystemText(errno)};
        return -2;
    }
    const qint64 start = SenderStart(asked, theirSha, sha_.Digest(), size_);
    if (start == 0) {
        sha_.Reset();
    }
    return start;
}

FileError SourceFile::Read(qint64 offset, qsizetype length, QByteArray& out) {
    const qsizetype at = out.size();
    out.resize(at + length);
    if (!ReadAt(fd_, out.data() + at, length, offset)) {
        // The file ends before its offered size: it was changed since.
        return errno == 0 ? FileError{FileFailure::FileChanged, {}}
                          : FileError{FileFailure::ReadError, SystemText(errno)};
    }
    sha_.Add(out.constData() + at, length);
    return {};
}

}  // namespace tollix

#include "session/identity_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace tollix {

namespace {

// A real identity file is well under 2 KiB; anything past this is not one.
constexpr qsizetype kMaxFileSize = 64 * 1024;
// Another process holds the folder's lock for the milliseconds of making a key; one that
// holds it for longer (stopped, hung) must not hold up this one for ever.
constexpr int kLockTries = 500;
constexpr useconds_t kLockPauseUs = 20'000;

QString Reason(const QString& path) {
    return path + ": " + QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Makes the folder and its missing parents, each made here with mode 0700.
bool MakeFolder(const QString& path) {
    if (QFileInfo::exists(path)) {
        return true;
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path && !MakeFolder(parent)) {
        return false;
    }
    return ::mkdir(Native(path).constData(), 0700) == 0 || errno == EEXIST;
}

// Takes the group's and others' access away.
bool MakePrivate(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    return (status.st_mode & 077) == 0 || ::fchmod(fd, status.st_mode & 0700) == 0;
}

bool LockFolder(int fd) {
    for (int tries = 0; tries < kLockTries; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        ::usleep(kLockPauseUs);
    }
    return false;
}

enum class ReadOutcome { Missing, Read, Failed };

ReadOutcome ReadFile(const QString& path, QByteArray& bytes, QString& error) {
    const Descriptor fd(::open(Native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            return ReadOutcome::Missing;
        }
        // A symbolic link in its place is no identity file of ours; it is moved aside.
        if (errno == ELOOP) {
            bytes.clear();
            return ReadOutcome::Read;
        }
        error = Reason(path);
        return ReadOutcome::Failed;
    }
    if (!MakePrivate(fd.get())) {
        error = Reason(path);
        return ReadOutcome::Failed;
    }
    bytes.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = Reason(path);
            return ReadOutcome::Failed;
        }
        if (got == 0) {
            return ReadOutcome::Read;
        }
        if (bytes.size() > kMaxFileSize) {
            bytes.clear();  // far too long for an identity: damaged
            return ReadOutcome::Read;
        }
        bytes.append(buffer, got);
    }
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

// Writes a temporary file (0600 from the start) and links it in as `path`: a crash leaves
// either no file or a whole one, and an existing file is never replaced.
bool Install(const QString& path, const QByteArray& bytes, QString& error) {
    QByteArray temporary = Native(path + ".new-XXXXXX");
    const Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        error = Reason(path);
        return false;
    }
    const bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    const bool linked = written && (::link(temporary.constData(), Native(path).constData()) == 0 ||
                                    errno == EEXIST);
    if (!linked) {
        error = Reason(path);
    }
    ::unlink(temporary.constData());
    return linked;
}

// Renames a damaged file to FILE.corrupt-YYYYMMDD-HHMMSS, with a number added when that
// name is taken. Returns the new name, or nothing with `error` set.
std::optional<QString> MoveAside(const QString& path, QString& error) {
    const QString stem =
        path + ".corrupt-" + QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss");
    QString target = stem;
    for (int n = 2; QFileInfo(target).exists() || QFileInfo(target).isSymLink(); ++n) {
        target = stem + "-" + QString::number(n);
    }
    if (::rename(Native(path).constData(), Native(target).constData()) != 0) {
        error = Reason(path) + " (the damaged identity file could not be moved aside)";
        return std::nullopt;
    }
    return QFileInfo(target).fileName();
}

}  // namespace

QString IdentityFilePath(const QString& dataDir) {
    return dataDir + "/Quardell/Tollix/identity.pem";
}

IdentityResult LoadOrCreateIdentity(const QString& dataDir) {
    const QString path = IdentityFilePath(dataDir);
    const QString folder = QFileInfo(path).path();
    IdentityResult result;
    if (!MakeFolder(folder)) {
        result.error = Reason(folder);
        return result;
    }
    const Descriptor folderFd(
        ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0 || !MakePrivate(folderFd.get())) {
        result.error = Reason(folder);
        return result;
    }
    if (!LockFolder(folderFd.get())) {
        result.error = errno == EWOULDBLOCK
                           ? folder + ": another process has held its lock for 10 seconds"
                           : Reason(folder);
        return result;
    }

    QByteArray bytes;
    switch (ReadFile(path, bytes, result.error)) {
        case ReadOutcome::Failed:
            return result;
        case ReadOutcome::Read:
            if ((result.identity = ParseIdentity(bytes))) {
                return result;
            }
            if (const std::optional<QString> aside = MoveAside(path, result.error)) {
                result.notice = "The identity file was damaged: it was moved aside as " + *aside +
                                " and a new identity was made, so this copy's security code "
                                "has changed.";
            } else {
                return result;
            }
            break;
        case ReadOutcome::Missing:
            break;
    }

    const std::optional<Identity> made = MakeIdentity();
    if (!made) {
        result.error = "OpenSSL could not make a key";
        return result;
    }
    if (!Install(path, made->keyPem + made->certificatePem, result.error)) {
        return result;
    }
    ::fsync(folderFd.get());
    // Read back what is now in place, so that every process uses the file's identity.
    if (ReadFile(path, bytes, result.error) == ReadOutcome::Read) {
        result.identity = ParseIdentity(bytes);
        if (!result.identity) {
            result.error = path + ": the identity just written cannot be read back";
        }
    } else if (result.error.isEmpty()) {
        result.error = path + ": the identity just written has gone";
    }
    return result;
}

}  // namespace tollix

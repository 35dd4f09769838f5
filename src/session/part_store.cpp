#include "session/part_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "session/file_io.h"
#include "session/file_names.h"
#include "session/file_resume.h"

namespace tollix {

namespace {

// Numbered names tried before giving up ("report (999).pdf").
constexpr int kMaxNumberedNames = 1000;
// Records beyond this make room by removing the oldest .part that the journal knows.
constexpr qsizetype kMaxRecords = 10000;

QByteArray Native(const QString& name) {
    return QFile::encodeName(name);
}

QString PathOf(const QString& folder, const QString& part) {
    return folder + "/" + part;
}

bool Exists(int folderFd, const QString& name) {
    struct stat status {};
    return ::fstatat(folderFd, Native(name).constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 ||
           errno != ENOENT;
}

}  // namespace

SinkFile::~SinkFile() {
    if (fd >= 0) {
        ::close(fd);
    }
}

PartStore::Prepared PartStore::Prepare(const QString& folder, const QString& code,
                                       const QList<OfferedFile>& files, const StopCheck& stop) {
    Prepared prepared;
    SinkFile base;
    base.folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const int folderFd =
        ::open(Native(base.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        prepared.error = {FileFailure::WriteError, base.folder + ": " + SystemText(errno)};
        return prepared;
    }
    base.folderFd = std::shared_ptr<const int>(new int(folderFd), [](const int* fd) {
        ::close(*fd);
        delete fd;
    });
    const QList<PartRecord> records = journal_.Records();
    QList<PartRecord> added;
    for (const OfferedFile& file : files) {
        std::shared_ptr<SinkFile> sink = Resume(records, code, file, base);
        if (!sink) {
            sink = std::make_shared<SinkFile>();
            sink->folderFd = base.folderFd;
            sink->folder = base.folder;
            sink->name = file.name;
            sink->size = file.size;
            prepared.error = Create(*sink);
            if (sink->fd >= 0) {
                added.append({code, file.name, file.size, sink->folder, sink->part});
            }
        }
        FileStart start{sink->position, {}};
        if (!prepared.error && start.start > 0) {
            if (!HashPrefix(sink->fd, start.start, sink->sha, stop)) {
                prepared.error = {FileFailure::WriteError, sink->part + ": " + SystemText(errno)};
            }
            start.prefixSha256 = sink->sha.Digest();
        }
        if (sink->fd >= 0) {
            inUse_.insert(PathOf(sink->folder, sink->part));
            prepared.sinks.append(sink);
        }
        if (prepared.error) {
            break;
        }
        prepared.starts.append(start);
    }
    journal_.Change([this, &added](QList<PartRecord>& all) {
        all += added;
        while (all.size() > kMaxRecords) {
            const PartRecord oldest = all.takeFirst();
            if (!inUse_.contains(PathOf(oldest.folder, oldest.part))) {
                ::unlink(Native(PathOf(oldest.folder, oldest.part)).constData());
            }
        }
        return !added.isEmpty();
    });
    if (prepared.error) {
        for (const std::shared_ptr<SinkFile>& sink : std::as_const(prepared.sinks)) {
            Keep(*sink);
        }
        prepared.sinks.clear();
    }
    return prepared;
}

std::shared_ptr<SinkFile> PartStore::Resume(const QList<PartRecord>& records, const QString& code,
                                            const OfferedFile& file, const SinkFile& base) {
    for (const PartRecord& record : records) {
        if (record.code != code || record.name != file.name || record.size != file.size ||
            record.folder != base.folder || inUse_.contains(PathOf(record.folder, record.part))) {
            continue;
        }
        const int fd = ::openat(*base.folderFd, Native(record.part).constData(),
                                O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        struct stat status {};
        if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;
        }
        auto sink = std::make_shared<SinkFile>();
        sink->folderFd = base.folderFd;
        sink->folder = base.folder;
        sink->fd = fd;
        sink->name = file.name;
        sink->part = record.part;
        sink->size = file.size;
        sink->position = HeldPrefix(status.st_size, file.size);
        if (sink->position < status.st_size && ::ftruncate(fd, sink->position) != 0) {
            continue;
        }
        return sink;
    }
    return nullptr;
}

FileError PartStore::Create(SinkFile& sink) {
    for (int n = 0; n < kMaxNumberedNames; ++n) {
        const QString name = NumberedName(sink.name, n);
        if (Exists(*sink.folderFd, name)) {
            continue;
        }
        sink.part = name + ".part";
        sink.fd = ::openat(*sink.folderFd, Native(sink.part).constData(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (sink.fd >= 0) {
            return {};
        }
        if (errno != EEXIST) {
            FileError error = WriteFailure(errno);
            error.detail = sink.part + ": " + error.detail;
            return error;
        }
    }
    return {FileFailure::WriteError, sink.name + ": no free name"};
}

FileError PartStore::Write(SinkFile& sink, QByteArrayView bytes) {
    if (sink.failed) {
        return {};
    }
    if (!WriteAt(sink.fd, bytes.constData(), bytes.size(), sink.position)) {
        sink.failed = true;
        return WriteFailure(errno);
    }
    sink.position += bytes.size();
    sink.sha.Add(bytes.constData(), bytes.size());
    return {};
}

FileError PartStore::StartOver(SinkFile& sink) {
    sink.position = 0;
    sink.sha.Reset();
    if (::ftruncate(sink.fd, 0) != 0) {
        sink.failed = true;
        return WriteFailure(errno);
    }
    return {};
}

FileError PartStore::Finish(SinkFile& sink, const QByteArray& sha, QString& path) {
    if (sink.failed) {
        Keep(sink);
        return {FileFailure::WriteError, {}};
    }
    if (sink.sha.Digest() != sha) {
        Release(sink, /*remove=*/true);
        return {FileFailure::WrongHash, {}};
    }
    if (::fdatasync(sink.fd) != 0) {
        const FileError error = WriteFailure(errno);
        Keep(sink);
        return error;
    }
    for (int n = 0; n < kMaxNumberedNames; ++n) {
        const QString name = NumberedName(sink.name, n);
        if (::renameat2(*sink.folderFd, Native(sink.part).constData(), *sink.folderFd,
                        Native(name).constData(), RENAME_NOREPLACE) == 0) {
            path = PathOf(sink.folder, name);
            Release(sink, /*remove=*/false);
            return {};
        }
        if (errno != EEXIST) {
            const FileError error = WriteFailure(errno);
            Keep(sink);
            return error;
        }
    }
    Keep(sink);
    return {FileFailure::WriteError, sink.name + ": no free name"};
}

void PartStore::Discard(SinkFile& sink) {
    Release(sink, /*remove=*/true);
}

void PartStore::Keep(SinkFile& sink) {
    Release(sink, /*remove=*/sink.position == 0);
}

void PartStore::Release(SinkFile& sink, bool remove) {
    if (sink.fd < 0) {
        return;
    }
    if (remove) {
        ::unlinkat(*sink.folderFd, Native(sink.part).constData(), 0);
    }
    ::close(sink.fd);
    sink.fd = -1;
    const QString path = PathOf(sink.folder, sink.part);
    inUse_.remove(path);
    // A .part that is kept stays in the journal; one removed or renamed leaves it.
    if (remove || !Exists(*sink.folderFd, sink.part)) {
        journal_.Change([&sink](QList<PartRecord>& records) {
            return records.removeIf([&sink](const PartRecord& record) {
                return record.folder == sink.folder && record.part == sink.part;
            }) > 0;
        });
    }
}

void PartStore::Clean() {
    const qint64 oldest = QDateTime::currentSecsSinceEpoch() - maxAgeSeconds_;
    Drop([oldest](const PartRecord&, const struct stat& status) {
        return status.st_mtime < oldest;
    });
}

void PartStore::Forget(const QString& code, const QList<OfferedFile>& files) {
    Drop([&code, &files](const PartRecord& record, const struct stat&) {
        return record.code == code &&
               std::any_of(files.begin(), files.end(), [&record](const OfferedFile& file) {
                   return file.name == record.name && file.size == record.size;
               });
    });
}

void PartStore::Drop(const std::function<bool(const PartRecord&, const struct stat&)>& drop) {
    journal_.Change([this, &drop](QList<PartRecord>& records) {
        return records.removeIf([this, &drop](const PartRecord& record) {
            const QString path = PathOf(record.folder, record.part);
            if (inUse_.contains(path)) {
                return false;
            }
            struct stat status {};
            if (::lstat(Native(path).constData(), &status) != 0) {
                return errno == ENOENT;
            }
            if (!S_ISREG(status.st_mode)) {
                return true;  // not ours any more: forgotten, not touched
            }
            if (!drop(record, status)) {
                return false;
            }
            ::unlink(Native(path).constData());
            return true;
        }) > 0;
    });
}

}  // namespace tollix

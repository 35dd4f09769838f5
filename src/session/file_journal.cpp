#include "session/file_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tollix {

namespace {

// Holds the lock on the journal's folder (made when missing) while it lives.
class FolderLock {
public:
    explicit FolderLock(const QString& path) {
        const QString folder = QFileInfo(path).path();
        QDir().mkpath(folder);
        fd_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_EX);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

QString FileJournalPath(const QString& dataDir) {
    return dataDir + "/Quardell/Tollix/file-parts.json";
}

QList<PartRecord> FileJournal::Records() const {
    if (path_.isEmpty()) {
        return memory_;
    }
    const FolderLock lock(path_);
    return Load();
}

void FileJournal::Change(const std::function<bool(QList<PartRecord>&)>& change) {
    if (path_.isEmpty()) {
        change(memory_);
        return;
    }
    const FolderLock lock(path_);
    QList<PartRecord> records = Load();
    if (change(records)) {
        Save(records);
    }
}

QList<PartRecord> FileJournal::Load() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // A damaged journal reads as empty: its .parts are then never touched, which is safe.
    QList<PartRecord> records;
    const QJsonArray entries = QJsonDocument::fromJson(file.readAll()).array();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const PartRecord record{entry["code"].toString(), entry["name"].toString(),
                                entry["size"].toInteger(), entry["folder"].toString(),
                                entry["part"].toString()};
        if (!record.folder.isEmpty() && !record.part.isEmpty() && !record.part.contains('/')) {
            records.append(record);
        }
    }
    return records;
}

void FileJournal::Save(const QList<PartRecord>& records) const {
    QJsonArray entries;
    for (const PartRecord& record : records) {
        entries.append(QJsonObject{{"code", record.code},
                                   {"name", record.name},
                                   {"size", record.size},
                                   {"folder", record.folder},
                                   {"part", record.part}});
    }
    // Written beside and renamed over the old one, so that a reader sees the old journal or
    // the new one. Not synced: a journal lost in a crash only leaves .parts that are never
    // touched, and a sync here could hold the worker for seconds on a busy disk.
    const QString fresh = path_ + ".new";
    QFile file(fresh);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        file.write(QJsonDocument(entries).toJson(QJsonDocument::Compact)) >= 0 && file.flush()) {
        file.close();
        ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path_).constData());
    }
}

}  // namespace tollix

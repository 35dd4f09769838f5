#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

#include "session/file_failure.h"
#include "session/file_frames.h"
#include "session/file_journal.h"
#include "session/file_worker.h"
#include "session/sha256.h"

struct stat;

namespace tollix {

// One file being received: NAME.part in the chosen folder, written in order and hashed as
// it is written. Used on the file worker thread only.
struct SinkFile {
    SinkFile() = default;
    ~SinkFile();
    SinkFile(const SinkFile&) = delete;
    SinkFile& operator=(const SinkFile&) = delete;

    std::shared_ptr<const int> folderFd;  // the chosen folder, open while a file needs it
    QString folder;                       // its path, as the journal knows it
    int fd = -1;
    QString name;  // the name offered, made safe
    QString part;  // the .part's name in the folder
    qint64 size = 0;
    qint64 position = 0;  // bytes in the .part
    Sha256 sha;           // of those bytes
    bool failed = false;  // a write failed: what follows is dropped
};

// Where received files are written: .part files made inside the chosen folder through its
// descriptor (O_EXCL | O_NOFOLLOW, never through a symbolic link), found again through the
// journal for a resume, given their name once their hash matches, and removed when they
// fail, or when the journal knows them and they are older than the age limit. Used on the
// file worker thread only.
class PartStore {
public:
    PartStore(const QString& journalPath, qint64 maxAgeSeconds)
        : journal_(journalPath), maxAgeSeconds_(maxAgeSeconds) {}

    struct Prepared {
        QList<std::shared_ptr<SinkFile>> sinks;
        QList<FileStart> starts;  // what each .part holds, for ACCEPT
        FileError error;
    };
    // Opens the .part of each file: the one an earlier transfer of the same file from the
    // same sender (`code`) left in this folder, or a new one under a free name. Hashing what
    // a .part holds gives up when `stop` says so.
    Prepared Prepare(const QString& folder, const QString& code, const QList<OfferedFile>& files,
                     const StopCheck& stop);
    FileError Write(SinkFile& sink, QByteArrayView bytes);
    // The sender starts the file over: the .part is emptied.
    FileError StartOver(SinkFile& sink);
    // The whole file is in: when its hash is `sha`, it is synced and renamed to its name
    // (or a free one) and `path` is set; a wrong hash removes the .part.
    FileError Finish(SinkFile& sink, const QByteArray& sha, QString& path);
    // Removes the .part (a failed file).
    void Discard(SinkFile& sink);
    // Keeps the .part for a resume (an empty one is removed).
    void Keep(SinkFile& sink);
    // Removes the .parts the journal knows that are older than the age limit and not in
    // use, and forgets records whose .part is gone.
    void Clean();
    // Removes the .parts that an offer of these files from this sender would go on from
    // (its user declined them), wherever they were received.
    void Forget(const QString& code, const QList<OfferedFile>& files);

private:
    // Removes the .parts of the records `drop` picks (given the record and its .part's
    // status), and forgets those records and the ones whose .part is gone. A .part in use is
    // kept; a path that is no regular file any more is forgotten, never touched.
    void Drop(const std::function<bool(const PartRecord&, const struct stat&)>& drop);
    void Release(SinkFile& sink, bool remove);
    std::shared_ptr<SinkFile> Resume(const QList<PartRecord>& records, const QString& code,
                                     const OfferedFile& file, const SinkFile& base);
    FileError Create(SinkFile& sink);

    FileJournal journal_;
    qint64 maxAgeSeconds_;
    QSet<QString> inUse_;  // folder + "/" + part of every open sink
};

}  // namespace tollix

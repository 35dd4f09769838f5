#pragma once

#include <QByteArray>
#include <QString>

#include "session/file_failure.h"
#include "session/file_worker.h"
#include "session/sha256.h"

namespace tollix {

// The sending side of one file, used on the file worker thread only: it reads the file in
// order and hashes every byte it reads, so that END carries the SHA-256 of the whole file.
class SourceFile {
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Opens a regular file for reading and takes its size.
    FileError Open(const QString& path);
    qint64 Size() const { return size_; }

    // Where to start, for a receiver that holds `asked` bytes hashing to `theirSha`: the
    // file's own first bytes are hashed and compared (SenderStart). -1 when `asked` is past
    // the end; -2 when reading failed (`error`) or `stop` said so.
    qint64 Begin(qint64 asked, const QByteArray& theirSha, const StopCheck& stop, FileError& error);
    // Reads the `length` bytes at `offset`, which follow the ones read before, and appends
    // them to `out`.
    FileError Read(qint64 offset, qsizetype length, QByteArray& out);
    // The SHA-256 of the bytes read (and hashed by Begin) so far.
    QByteArray Digest() const { return sha_.Digest(); }

private:
    int fd_ = -1;
    qint64 size_ = 0;
    Sha256 sha_;
};

}  // namespace tollix

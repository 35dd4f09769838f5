#pragma once

#include <QString>
#include <QtGlobal>

#include "session/file_failure.h"
#include "session/file_worker.h"

namespace tollix {

class Sha256;

// Small blocking helpers for the file worker thread.

// The failure for errno after a write: a full disk or quota is DiskFull, anything else
// WriteError; the detail is the system's text.
FileError WriteFailure(int error);
// The system's text for errno.
QString SystemText(int error);

// Reads exactly `size` bytes at `offset`; false with errno set, or with errno 0 when the
// file ends first.
bool ReadAt(int fd, char* data, qint64 size, qint64 offset);
// Writes all bytes at `offset`; false with errno set.
bool WriteAt(int fd, const char* data, qint64 size, qint64 offset);
// Adds the first `size` bytes of the file to `sha`. False when reading fails, the file is
// shorter, or `stop` says so.
bool HashPrefix(int fd, qint64 size, Sha256& sha, const StopCheck& stop);

}  // namespace tollix

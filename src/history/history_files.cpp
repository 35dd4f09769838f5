#include "history/history_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tollix {

namespace {

QString SystemReason(const QString& path) {
    return path + ": " + QString::fromLocal8Bit(std::strerror(errno));
}

// Makes the folder and any missing parent; the ones made here get mode 0700.
bool MakeFolder(const QString& path) {
    if (QFileInfo::exists(path)) {
        return true;
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path && !MakeFolder(parent)) {
        return false;
    }
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

QString HistoryFilePath(const QString& dataDir) {
    return dataDir + "/Quardell/Tollix/history.sqlite";
}

std::optional<QString> PrepareHistoryFile(const QString& filePath) {
    const QString folder = QFileInfo(filePath).path();
    if (!MakeFolder(folder)) {
        return SystemReason(folder);
    }
    // Made with its mode, so that it is never readable by others, not even briefly; SQLite
    // gives its WAL and index files the mode of this file.
    const int fd =
        ::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return SystemReason(filePath);
    }
    struct stat status {};
    const bool shared = ::fstat(fd, &status) == 0 && (status.st_mode & 077) != 0;
    const bool stillShared = shared && ::fchmod(fd, status.st_mode & 0700) != 0;
    ::close(fd);
    if (stillShared) {
        return SystemReason(filePath);
    }
    // SQLite's reason for a file it may not write is "unable to open database file"; the
    // folder must also take the WAL beside the file.
    for (const QString& path : {folder, filePath}) {
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0) {
            return SystemReason(path);
        }
    }
    return std::nullopt;
}

MovedAside MoveAsideDamaged(const QString& filePath, const QDateTime& now) {
    const QString stem = filePath + ".corrupt-" + now.toUTC().toString("yyyyMMdd-HHmmss");
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = stem + "-" + QString::number(n);
    }
    if (::rename(QFile::encodeName(filePath).constData(), QFile::encodeName(target).constData()) !=
        0) {
        return {false, SystemReason(filePath)};
    }
    // The WAL may hold the last texts; it stays beside its file under the same new name.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(filePath + suffix)) {
            ::rename(QFile::encodeName(filePath + suffix).constData(),
                     QFile::encodeName(target + suffix).constData());
        }
    }
    return {true, QFileInfo(target).fileName()};
}

}  // namespace tollix

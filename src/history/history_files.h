#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace tollix {

// DATA/Quardell/Tollix/history.sqlite.
QString HistoryFilePath(const QString& dataDir);

// Makes the missing folders of the file (0700) and the file itself (0600), and takes the
// group's and others' access away from a file that has it. A file left read-only stays so.
// Returns the reason when that fails.
std::optional<QString> PrepareHistoryFile(const QString& filePath);

struct MovedAside {
    bool moved = false;
    QString detail;  // the new file name, or why the file could not be moved
};

// Renames the file, with its WAL and shared-memory index, to FILE.corrupt-YYYYMMDD-HHMMSS
// (UTC; a number is added when that name is taken). Nothing is deleted.
MovedAside MoveAsideDamaged(const QString& filePath, const QDateTime& now);

}  // namespace tollix

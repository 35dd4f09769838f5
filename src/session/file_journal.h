#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace tollix {

// DATA/Quardell/Tollix/file-parts.json, beside the identity.
QString FileJournalPath(const QString& dataDir);

// A .part file that this copy made for a file it receives: whose (the sender's security
// code), which (its safe name and size) and where (the folder and the .part's name in it).
struct PartRecord {
    QString code;
    QString name;
    qint64 size = 0;
    QString folder;
    QString part;
    bool operator==(const PartRecord&) const = default;
};

// The journal of .part files, so that a new offer of the same file finds what an earlier,
// broken transfer left, and so that old .parts are removed while files this copy did not
// make are never touched. One small JSON file, changed under a lock on its folder and
// written whole to a new file that replaces it, so that the desktop program and tollix-cli
// may share it. Without a path it is kept in memory for this run. Blocks on the disk: used
// on the file worker thread only.
class FileJournal {
public:
    explicit FileJournal(QString path) : path_(std::move(path)) {}

    QList<PartRecord> Records() const;
    // Reads the records, lets `change` change them, and writes them when it says it did.
    void Change(const std::function<bool(QList<PartRecord>&)>& change);

private:
    QList<PartRecord> Load() const;
    void Save(const QList<PartRecord>& records) const;

    QString path_;
    QList<PartRecord> memory_;
};

}  // namespace tollix

#pragma once

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>

#include "history/history_entry.h"

namespace tollix {

// The room that texts from strangers may take in the history per day (local time). A
// stranger is a sender this user has never written to (the history holds no outgoing text
// to the address) and whom no other rule keeps (`KeepsAll`, which a caller may extend).
// Texts from everyone else are always stored, and nothing stored is ever deleted to make
// room: beyond the day's room, a stranger's text is shown without being stored.
//
// A text counts three times the bytes of its text, plus its names: the row and the words
// of the full-text index together take up to that much of the file (a text of words that
// all differ, the worst case, takes about two and a half times its bytes).
class StrangerBudget {
public:
    using KeepsAll = std::function<bool(const QString& address)>;

    static constexpr qint64 kBytesPerDay = 50'000'000;

    static qint64 Weight(qint64 textBytes, qint64 nameBytes) { return 3 * textBytes + nameBytes; }
    static qint64 Weight(const HistoryEntry& entry);

    void SetLimit(qint64 bytesPerDay) { limit_ = bytesPerDay; }
    // Senders whose texts are always stored although the user never wrote to them.
    void SetKeepsAll(KeepsAll keepsAll) { keepsAll_ = std::move(keepsAll); }

    // What the history holds: the addresses written to, and the weight of today's incoming
    // texts per address. The day's count never goes down by it: a new, empty file (the old
    // one was damaged) leaves it as it was.
    void Load(const QSet<QString>& writtenTo, const QHash<QString, qint64>& todayByAddress,
              QDate today);
    // For every text about to be stored, in order: true when it is to be stored; a
    // stranger's text is then counted.
    bool Admit(const HistoryEntry& entry, QDate today);
    // The history was emptied: no one is written to, nothing is counted.
    void Clear();

private:
    bool IsStranger(const QString& address) const;
    void StartDay(QDate today);

    qint64 limit_ = kBytesPerDay;
    KeepsAll keepsAll_;
    QSet<QString> writtenTo_;
    QDate day_;
    qint64 used_ = 0;
};

}  // namespace tollix

#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "history/history_entry.h"

namespace tollix {

class CDialogView;
class HistoryStore;

// The stored part of one conversation in its history pane: the contact's last entries
// above those of this session, a page of older ones each time the user scrolls to the
// top, and the search in the contact's whole history, whose hits are loaded as far back
// as they go.
class StoredHistory : public QObject {
    Q_OBJECT

public:
    static constexpr int kPageSize = 200;

    StoredHistory(HistoryStore& store, CDialogView& view, QString address,
                  QObject* parent = nullptr);

    // The last page (before `beforeId`, when it is not 0), at the end of the pane; false
    // when there was nothing to show.
    bool LoadLatest(qint64 beforeId = 0);
    // Entries up to this id are shown already; a live text with it is not shown again.
    qint64 NewestId() const { return newestId_; }
    // The oldest entry shown; 0 with none.
    qint64 OldestId() const { return oldestId_; }

    // Searches for `words` (a new search starts at the newest hit), or moves to the next
    // older hit (`older`) or the next newer one, wrapping around at either end.
    void Find(const QString& words, bool older);
    void EndSearch();
    int HitCount() const { return static_cast<int>(hits_.size()); }
    // The current hit counted from the newest (1), or 0 with none.
    int CurrentHit() const { return current_ < 0 ? 0 : HitCount() - current_; }

signals:
    // Stored entries were shown, `unread` when some of them were marked unread.
    void entriesShown(bool unread);

private:
    void LoadEarlierPage();
    void Prepend(const QList<HistoryEntry>& entries);
    void ShowHit();

    HistoryStore& store_;
    CDialogView& view_;
    QString address_;
    qint64 oldestId_ = 0;  // 0: nothing loaded
    qint64 newestId_ = 0;
    bool morePages_ = true;
    // Set while the pane is scrolled from here (keeping the view over a new page, moving to
    // a hit): reaching the top then is no request for another page.
    bool scrollingItself_ = false;
    QString words_;
    QList<qint64> hits_;  // oldest first
    int current_ = -1;
};

}  // namespace tollix

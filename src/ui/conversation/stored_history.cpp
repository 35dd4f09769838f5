#include "ui/conversation/stored_history.h"

#include <QScrollBar>
#include <algorithm>

#include "history/history_store.h"
#include "ui/conversation/dialog_view.h"

namespace tollix {

namespace {

bool AnyUnread(const QList<HistoryEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const HistoryEntry& entry) { return entry.unread; });
}

}  // namespace

StoredHistory::StoredHistory(HistoryStore& store, CDialogView& view, QString address,
                             QObject* parent)
    : QObject(parent), store_(store), view_(view), address_(std::move(address)) {
    connect(view_.verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == view_.verticalScrollBar()->minimum() && !scrollingItself_) {
            LoadEarlierPage();
        }
    });
}

bool StoredHistory::LoadLatest(qint64 beforeId) {
    const QList<HistoryEntry> entries = store_.Last(address_, kPageSize, beforeId);
    morePages_ = entries.size() == kPageSize;
    if (entries.isEmpty()) {
        return false;
    }
    oldestId_ = entries.first().id;
    newestId_ = entries.last().id;
    view_.AppendStoredEntries(entries);
    emit entriesShown(AnyUnread(entries));
    return true;
}

void StoredHistory::LoadEarlierPage() {
    if (!morePages_ || oldestId_ == 0) {
        return;
    }
    const QList<HistoryEntry> entries = store_.Last(address_, kPageSize, oldestId_);
    morePages_ = entries.size() == kPageSize;
    Prepend(entries);
}

void StoredHistory::Prepend(const QList<HistoryEntry>& entries) {
    if (entries.isEmpty()) {
        return;
    }
    oldestId_ = entries.first().id;
    scrollingItself_ = true;
    view_.PrependStoredEntries(entries);
    scrollingItself_ = false;
    emit entriesShown(AnyUnread(entries));
}

void StoredHistory::Find(const QString& words, bool older) {
    if (words != words_ || hits_.isEmpty()) {
        words_ = words;
        hits_ = store_.Search(address_, words);
        current_ = static_cast<int>(hits_.size()) - 1;
    } else if (older) {
        current_ = current_ > 0 ? current_ - 1 : HitCount() - 1;
    } else {
        current_ = current_ + 1 < HitCount() ? current_ + 1 : 0;
    }
    ShowHit();
}

void StoredHistory::EndSearch() {
    words_.clear();
    hits_.clear();
    current_ = -1;
    view_.HighlightEntries({}, 0);
}

void StoredHistory::ShowHit() {
    if (hits_.isEmpty()) {
        view_.HighlightEntries({}, 0);
        return;
    }
    const qint64 hit = hits_[current_];
    // A hit further back than the pages loaded: everything from it on is loaded, so that
    // the conversation around it reads without gaps.
    if (oldestId_ != 0 && hit < oldestId_) {
        Prepend(store_.Range(address_, hit, oldestId_));
    }
    view_.HighlightEntries(hits_, hit, words_);
    scrollingItself_ = true;  // a hit at the very top asks for no page
    view_.ScrollToEntry(hit);
    scrollingItself_ = false;
}

}  // namespace tollix

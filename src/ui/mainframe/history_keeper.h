#pragma once

#include <QObject>
#include <QTimer>

namespace tollix {

class CTollixApp;
class HistoryStore;

// Keeps the desktop program's history store as the settings say: open while "Keep history"
// is on, entries older than the days set deleted at start-up and then once a day, every
// entry deleted on request. A fault of the store (a file that cannot be opened, is damaged
// or on a full disk, or another program keeps the history) is shown as one alert; texts
// then go on being shown, unstored.
class HistoryKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetentionIntervalMs = 24 * 60 * 60 * 1000;

    HistoryKeeper(HistoryStore& store, CTollixApp& app, QObject* parent = nullptr);

    HistoryStore& Store() const { return store_; }
    // Opens or closes the store for the current settings, and deletes the entries that
    // are older than they keep them. At start-up and after the settings changed.
    void Apply();
    // Deletes every stored entry, also while "Keep history" is off. A failure is reported
    // as every fault of the store is.
    void Clear();

signals:
    // The store was opened, closed, emptied or replaced: what it holds unread may have
    // changed.
    void changed();

private:
    void OnFault(const QString& reason);

    HistoryStore& store_;
    CTollixApp& app_;
    QTimer daily_;
};

}  // namespace tollix

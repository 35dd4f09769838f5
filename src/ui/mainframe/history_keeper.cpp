#include "ui/mainframe/history_keeper.h"

#include <QFile>

#include "core/tollix_app.h"
#include "history/history_store.h"

namespace tollix {

HistoryKeeper::HistoryKeeper(HistoryStore& store, CTollixApp& app, QObject* parent)
    : QObject(parent), store_(store), app_(app) {
    daily_.setInterval(kRetentionIntervalMs);
    connect(&daily_, &QTimer::timeout, this,
            [this] { store_.ApplyRetention(app_.Settings().historyDays); });
    connect(&store_, &HistoryStore::fault, this, &HistoryKeeper::OnFault);
    // A new file holds other unread marks.
    connect(&store_, &HistoryStore::replaced, this, &HistoryKeeper::changed);
}

void HistoryKeeper::Apply() {
    const bool wasOpen = store_.IsOpen();
    const bool keep = app_.Settings().keepHistory != 0;
    if (keep && !wasOpen) {
        store_.Open();
    } else if (!keep && wasOpen) {
        store_.Close();
    }
    if (store_.IsOpen()) {
        store_.ApplyRetention(app_.Settings().historyDays);
        daily_.start();
    } else {
        daily_.stop();
    }
    if (store_.IsOpen() != wasOpen) {
        emit changed();
    }
}

void HistoryKeeper::Clear() {
    const bool wasOpen = store_.IsOpen();
    if (!wasOpen && !QFile::exists(store_.FilePath())) {
        return;  // nothing was ever stored
    }
    if (wasOpen || store_.Open()) {
        store_.ClearAll();
    }
    if (!wasOpen) {
        store_.Close();
    }
    emit changed();
}

void HistoryKeeper::OnFault(const QString& reason) {
    emit changed();  // a store that failed is closed, or only reads
    // A modal box: the store reports from the event loop, never from inside itself.
    app_.Alerts().Show(HistoryStore::AlertText(reason).toStdString());
}

}  // namespace tollix

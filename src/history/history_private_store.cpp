#include "history/history_private_store.h"

#include <QSqlQuery>

#include "history/history_store.h"

namespace tollix {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QVariant& value) {
    return value.toString().toStdString();
}

}  // namespace

void HistoryPrivateStore::Sync() {
    if (!store_.IsOpen()) {
        return;
    }
    if (!loaded_) {
        loaded_ = Load();
        return;
    }
    if (!store_.IsWriting()) {
        return;
    }
    // Written again as memory has them: changes made while the file was not written.
    store_.Execute("DELETE FROM waiting", {});
    for (const std::string& address : WaitingAddresses()) {
        for (const WaitingText& text : WaitingFor(address)) {
            Write(text);
        }
    }
    for (const std::string& address : PinnedAddresses()) {
        Write(*FindPin(address));
    }
}

bool HistoryPrivateStore::Load() {
    std::vector<PinnedCode> pins;
    std::vector<WaitingText> waiting;
    const bool read =
        store_.Select(
            "SELECT address, code, first_name, last_name, group_name, verified, "
            "pinned_ms FROM pins",
            {},
            [&pins](const QSqlQuery& row) {
                pins.push_back({S(row.value(0)), S(row.value(1)), S(row.value(2)), S(row.value(3)),
                                S(row.value(4)), row.value(5).toBool(), row.value(6).toLongLong()});
            }) &&
        store_.Select("SELECT text_id, address, text, time_ms FROM waiting ORDER BY seq", {},
                      [&waiting](const QSqlQuery& row) {
                          waiting.push_back({S(row.value(0)), S(row.value(1)), S(row.value(2)),
                                             row.value(3).toLongLong()});
                      });
    if (!read) {
        return false;  // busy: taken at the next change of the store
    }
    for (const PinnedCode& pin : pins) {
        MemoryPrivateStore::SavePin(pin);
    }
    for (const WaitingText& text : waiting) {
        MemoryPrivateStore::AddWaiting(text);
    }
    // Nothing is on its way when the program starts: what was waits.
    store_.Execute("UPDATE entries SET delivery = ? WHERE delivery = ?",
                   {static_cast<int>(Delivery::Waiting), static_cast<int>(Delivery::Sending)});
    return true;
}

bool HistoryPrivateStore::SavePin(const PinnedCode& pin) {
    if (!MemoryPrivateStore::SavePin(pin)) {
        return false;
    }
    Write(pin);
    return true;
}

void HistoryPrivateStore::AddWaiting(const WaitingText& text) {
    MemoryPrivateStore::AddWaiting(text);
    Write(text);
}

void HistoryPrivateStore::RemoveWaiting(const std::string& id) {
    MemoryPrivateStore::RemoveWaiting(id);
    store_.Execute("DELETE FROM waiting WHERE text_id = ?", {Q(id)});
}

void HistoryPrivateStore::Write(const PinnedCode& pin) {
    store_.Execute(
        "INSERT OR REPLACE INTO pins (address, code, first_name, last_name, group_name, "
        "verified, pinned_ms) VALUES (?, ?, ?, ?, ?, ?, ?)",
        {Q(pin.address), Q(pin.code), Q(pin.firstName), Q(pin.lastName), Q(pin.groupName),
         pin.verified ? 1 : 0, QVariant::fromValue<qint64>(pin.pinnedAtMs)});
}

void HistoryPrivateStore::Write(const WaitingText& text) {
    store_.Execute(
        "INSERT OR IGNORE INTO waiting (text_id, address, text, time_ms) VALUES (?, ?, ?, ?)",
        {Q(text.id), Q(text.address), Q(text.text), QVariant::fromValue<qint64>(text.timeMs)});
}

}  // namespace tollix

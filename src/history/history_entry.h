#pragma once

#include <QDateTime>
#include <QString>

namespace tollix {

// One text shown in a conversation, as the history keeps it.
struct HistoryEntry {
    // Given when the entry is stored, growing in the order texts were stored and never
    // reused (not even after the history was cleared); 0 for an entry not stored.
    qint64 id = 0;
    // UTC, to the millisecond. HistoryStore::Add stamps an invalid time with the current one.
    QDateTime time;
    bool outgoing = false;  // sent by this copy's user
    // The contact's address: the peer the conversation is with, for either direction.
    QString address;
    // The sender's names as the line showed them: the contact's for an incoming text, the
    // user's own for an outgoing one.
    QString firstName;
    QString lastName;
    QString groupName;
    QString text;
    // An incoming text that was stored without being shown in an open conversation.
    bool unread = false;
};

}  // namespace tollix

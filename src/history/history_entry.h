#pragma once

#include <QDateTime>
#include <QString>
#include <string>

#include "core/text_mark.h"
#include "protocol/message_codec.h"
#include "protocol/text.h"

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
    // Handed back unstored: a stranger's text beyond the day's room for strangers' texts.
    bool overDailyLimit = false;
    // How it travelled, and for an outgoing private text where it is on its way; `textId`
    // names a private text (empty for open ones).
    Privacy privacy = Privacy::Open;
    Delivery delivery = Delivery::None;
    QString textId{};

    // First and last name joined by one blank, trimmed, as the lines show the sender.
    QString SenderName() const {
        return QString::fromStdString(
            std::string(Trim((firstName + u' ' + lastName).toStdString())));
    }
};

// A text to be stored, not stamped yet: with the contact's address, and named after its
// sender (the user for an outgoing text, the contact otherwise) as the line shows it.
inline HistoryEntry TextEntry(const std::string& address, const UserIdentity& sender,
                              const std::string& text, bool outgoing, const TextMark& mark = {}) {
    HistoryEntry entry;
    entry.privacy = mark.privacy;
    entry.delivery = mark.delivery;
    entry.textId = QString::fromStdString(mark.id);
    entry.outgoing = outgoing;
    entry.address = QString::fromStdString(address);
    entry.firstName = QString::fromStdString(sender.firstName);
    entry.lastName = QString::fromStdString(sender.lastName);
    entry.groupName = QString::fromStdString(sender.groupName);
    entry.text = QString::fromStdString(text);
    return entry;
}

}  // namespace tollix

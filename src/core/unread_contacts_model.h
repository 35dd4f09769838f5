#pragma once

#include <QHash>
#include <QIdentityProxyModel>
#include <QString>
#include <string>

#include "core/contact_list.h"

namespace tollix {

// The contact tree as the main window shows it: the contact list, with the number of
// unread texts of each contact after its name, "Bob Brown (3)", and such contacts in bold
// (as the group items are). The counts are kept by address, also for contacts that are
// not listed at the moment: they show once the contact is back. Senders come from the
// network, so at most kMaxAddresses are kept; beyond that, the count of a contact that is
// not listed makes room (its texts stay marked in the history).
class UnreadContactsModel : public QIdentityProxyModel {
    Q_OBJECT

public:
    // The contact's unread texts (int); 0 for group items.
    static constexpr int UnreadRole = Qt::UserRole + 3;
    // True for items drawn in bold: groups, and contacts with unread texts.
    static constexpr int BoldRole = Qt::UserRole + 4;
    static constexpr qsizetype kMaxAddresses = ContactList::kMaxContacts;

    explicit UnreadContactsModel(ContactList& contacts, QObject* parent = nullptr);

    ContactList& Contacts() const { return contacts_; }
    // The contact an item of this model carries, or nullptr for a group item.
    Contact* ContactAt(const QModelIndex& index) const;

    // Replaces every count (addresses without unread texts are left out).
    void SetCounts(const QHash<QString, int>& counts);
    // Sets the contact's count. When it drops to 0 the contact list reconsiders the
    // contact, which it may have kept for these texts.
    void Set(const std::string& address, int texts);
    // Adds `texts` to the contact's count (a negative number takes some away).
    void Add(const std::string& address, int texts = 1) { Set(address, Count(address) + texts); }
    void Clear(const std::string& address) { Set(address, 0); }
    int Count(const std::string& address) const;
    // Unread texts of all contacts together.
    int Total() const { return total_; }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void unreadChanged();

private:
    void Refresh(const std::string& address);
    // Forgets the count of a contact that is not listed, when the table is full.
    void MakeRoom();

    ContactList& contacts_;
    QHash<QString, int> counts_;
    int total_ = 0;
};

}  // namespace tollix

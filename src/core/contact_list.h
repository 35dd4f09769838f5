#pragma once

#include <QAbstractItemModel>
#include <QRecursiveMutex>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/clock.h"
#include "core/contact.h"
#include "core/sorted_rows.h"
#include "core/throttled_log.h"
#include "protocol/net_message.h"

namespace tollix {

// The peers this copy has heard from, as a two-level tree model: one group item per group
// name at the top, in the order the groups appeared, and below each the contact items in
// byte-wise order of their text, the contact's display name. It is filled by messages
// alone: a contact leaves only through its farewell or when the list is cleared.
//
// Lookups by address and by group name go through indexes and a contact is inserted in
// its place, so that a message costs the same with twenty thousand contacts as with two.
class ContactList : public QAbstractItemModel {
    Q_OBJECT

public:
    // The picture of an item: 0 person, 1 faded person (away), 2 folder (group).
    static constexpr int PictureRole = Qt::UserRole + 1;
    // True for group items.
    static constexpr int IsGroupRole = Qt::UserRole + 2;

    // Contacts listed at most. A sender heard while the list is full is not listed (its
    // messages are still routed); a farewell makes room again. Without a bound, one host
    // sending envelopes with made-up FROM values would grow the list without limit.
    static constexpr std::size_t kMaxContacts = 20000;

    explicit ContactList(const Clock& clock = SystemClock::Instance(), QObject* parent = nullptr);
    ~ContactList() override;

    // Adds, updates or removes the contact of the message's sender by its type. The caller
    // has left out the copy's own messages.
    void OnIncomingMessage(const NetMessage& message);
    Contact* FindContact(std::string_view address) const;
    QModelIndex FindGroupItem(std::string_view name) const;
    void ClearContacts();
    // Where refusals of a full list are logged (at most a line per 30 s); nullptr: nowhere.
    void SetRefusalLog(std::FILE* log) { refusals_.SetOutput(log); }
    // Items in the tree, group items included: one group with two contacts counts 3.
    int ContactCount() const {
        return static_cast<int>(groups_.size() + contactsByAddress_.size());
    }

    // The contact an item carries, or nullptr for a group item.
    Contact* ContactAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const Contact& contact) const;
    // Every listed contact, in tree order.
    std::vector<const Contact*> Contacts() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A contact was added or its details changed; with presence Offline it is leaving and
    // is destroyed right after the signal.
    void contactUpdated(tollix::Contact& contact);
    // After every update or clearing of the list.
    void listChanged();

private:
    struct ContactItem {
        std::string text;  // the display name when the item was last updated
        std::unique_ptr<Contact> contact;
    };
    struct ByText {
        bool operator()(const ContactItem& a, const ContactItem& b) const {
            return a.text < b.text;  // byte-wise, letter case distinguished
        }
    };
    struct GroupItem {
        std::string text;
        std::size_t row = 0;
        SortedRows<ContactItem, ByText> contacts;
    };
    struct Location {
        Contact* contact;
        GroupItem* group;
    };

    GroupItem* FindGroup(std::string_view name) const;
    GroupItem& AddGroup(const std::string& name);
    void RemoveGroup(GroupItem& group);
    std::size_t RowOf(const GroupItem& group, const Contact& contact,
                      const std::string& text) const;
    void AddContact(std::unique_ptr<Contact> contact);
    void UpdateContact(Location where, const std::string& oldText);
    void RemoveContact(Location where, const std::string& oldText);

    ThrottledLog refusals_;
    mutable QRecursiveMutex contactsLock_;
    std::vector<std::unique_ptr<GroupItem>> groups_;
    std::unordered_map<std::string, Location> contactsByAddress_;  // key: address, lower case
    std::unordered_map<std::string, GroupItem*> groupsByName_;     // key: name, lower case
};

}  // namespace tollix

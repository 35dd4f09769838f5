#pragma once

#include <QAbstractItemModel>
#include <QRecursiveMutex>
#include <cstdint>
#include <functional>
#include <map>
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

// What the program that shows the list keeps for its user. The desktop program keeps the
// contacts whose texts the user has not seen; without a keeper (the terminal peer) a
// farewell removes its contact at once and every contact may give its place.
class ContactKeeper {
public:
    virtual ~ContactKeeper() = default;
    // The contact holds something of the user's (an open conversation window, unread
    // texts, texts on their way to be shown): a full list does not give its place away.
    virtual bool Holds(const Contact& contact) const = 0;
    // The contact has said goodbye leaving texts the user has not seen: it stays listed,
    // shown offline, until ContactList::Reconsider finds that it holds nothing any more.
    virtual bool KeepsAfterFarewell(const Contact& contact) const = 0;
};

// The peers this copy has heard from, as a two-level tree model: one group item per group
// name at the top, in the order the groups appeared, and below each the contact items in
// byte-wise order of their text, the contact's display name. It is filled by messages
// alone: a contact leaves through its farewell (unless the keeper keeps it), when the list
// is cleared, or when a full list gives its place to a new sender.
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

    // Contacts listed at most. A sender heard while the list is full takes the place of the
    // contact heard least recently that the keeper lets go; with none, it is not listed
    // (its messages are still routed). Without a bound, one host sending envelopes with
    // made-up FROM values would grow the list without limit; without the replacing, such
    // a host would keep every colleague who starts later out of it.
    static constexpr std::size_t kMaxContacts = 20000;
    // Places a full list gives away in one second at most. A flood of made-up senders then
    // costs little (every replacement redraws the tree), and a colleague who starts after
    // it still finds a place at once.
    static constexpr int kMaxReplacementsPerSecond = 10;
    // Set for contacts listed offline after their farewell (bool).
    static constexpr int OfflineRole = Qt::UserRole + 5;
    // For group items: QPoint(contacts of the group that are online, all its contacts).
    static constexpr int GroupCountsRole = Qt::UserRole + 6;
    // The item's own text, the contact's display name or the group's name, without what a
    // view of the list adds to it.
    static constexpr int NameRole = Qt::UserRole + 7;

    explicit ContactList(const Clock& clock = SystemClock::Instance(), QObject* parent = nullptr);
    ~ContactList() override;

    // Adds, updates or removes the contact of the message's sender by its type. The caller
    // has left out the copy's own messages.
    void OnIncomingMessage(const NetMessage& message);
    Contact* FindContact(std::string_view address) const;
    QModelIndex FindGroupItem(std::string_view name) const;
    void ClearContacts();
    // The keeper asked about leaving contacts and full lists; nullptr for none. It must
    // outlive the list or be unset first.
    void SetKeeper(const ContactKeeper* keeper) { keeper_ = keeper; }
    // Tells contacts with a pinned security code, whom a full list never gives away.
    void SetPinned(std::function<bool(const std::string& address)> pinned) {
        pinned_ = std::move(pinned);
    }
    // What the keeper holds of the contact at `address` may have dropped: a contact kept
    // after its farewell that holds nothing any more leaves now, and a full list may give
    // the contact's place away again.
    void Reconsider(std::string_view address);
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
    // A contact was added or its details changed. With presence Offline it has left: it is
    // destroyed right after the signal, unless the keeper keeps it listed (FindContact
    // still finds it).
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
        std::size_t online = 0;  // contacts whose presence is Online
    };
    // Contacts the keeper may let go, by the order in which they were last heard from.
    using HeardOrder = std::map<std::uint64_t, Contact*>;
    struct Location {
        Contact* contact;
        GroupItem* group;
        std::uint64_t heard = 0;
        // In heardOrder_ unless the keeper was last found to hold the contact.
        bool held = false;
        // Counted in its group's `online`.
        bool online = false;
        HeardOrder::iterator inOrder;
    };

    GroupItem* FindGroup(std::string_view name) const;
    GroupItem& AddGroup(const std::string& name);
    void RemoveGroup(GroupItem& group);
    std::size_t RowOf(const GroupItem& group, const Contact& contact,
                      const std::string& text) const;
    void AddContact(std::unique_ptr<Contact> contact);
    void UpdateContact(Location where, const std::string& oldText);
    void RemoveContact(Location where, const std::string& oldText);
    // Counts the contact in its group's `online` while its presence is Online.
    void CountOnline(Location& where);
    void Heard(Location& where);
    // Lets the contact heard least recently that the keeper does not hold go, and returns
    // its address; empty when there is none, or when this second's places are given away.
    std::string MakeRoom();
    // The keeper holds the contact, or it has a pinned code: its place is not given away.
    bool Keeps(const Contact& contact) const;

    const ContactKeeper* keeper_ = nullptr;
    std::function<bool(const std::string& address)> pinned_;
    const Clock& clock_;
    std::int64_t replacingSecond_ = 0;
    int replacements_ = 0;  // in replacingSecond_
    ThrottledLog refusals_;
    mutable QRecursiveMutex contactsLock_;
    std::vector<std::unique_ptr<GroupItem>> groups_;
    std::unordered_map<std::string, Location> contactsByAddress_;  // key: address, lower case
    std::unordered_map<std::string, GroupItem*> groupsByName_;     // key: name, lower case
    HeardOrder heardOrder_;
    std::uint64_t lastHeard_ = 0;
};

}  // namespace tollix

#include "core/contact_list.h"

#include <QMutexLocker>
#include <QPoint>
#include <algorithm>
#include <exception>
#include <optional>

#include "protocol/body_keys.h"

namespace tollix {

namespace {

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

PresenceState PresenceOf(int msgType) {
    switch (msgType) {
        case MSGTYPE_OFFLINE:
            return PresenceState::Offline;
        case MSGTYPE_AWAY:
            return PresenceState::Away;
        default:
            return PresenceState::Online;
    }
}

// Stores `value` and notes whether that changed anything.
template <typename T>
void Store(T& field, T value, bool& changed) {
    if (field != value) {
        field = std::move(value);
        changed = true;
    }
}

}  // namespace

ContactList::ContactList(const Clock& clock, QObject* parent)
    : QAbstractItemModel(parent), clock_(clock), refusals_(clock) {}

ContactList::~ContactList() = default;

void ContactList::OnIncomingMessage(const NetMessage& message) {
    QMutexLocker lock(&contactsLock_);
    try {
        auto known = contactsByAddress_.find(LowerAscii(message.from));
        if (known == contactsByAddress_.end() && contactsByAddress_.size() >= kMaxContacts) {
            if (PresenceOf(message.msgType) == PresenceState::Offline) {
                return;
            }
            const std::string replaced = MakeRoom();
            refusals_.Write(
                "contact list full",
                "contact list full (" + std::to_string(kMaxContacts) + " contacts), " +
                    (replaced.empty()
                         ? "sender not listed: " + message.from
                         : replaced + " heard least recently makes room for " + message.from));
            if (replaced.empty()) {
                return;
            }
            known = contactsByAddress_.end();
        }
        const std::string_view body = message.body;
        const std::string_view firstName = BodyValue(body, body_key::kFirstName);
        const std::string_view secondName = BodyValue(body, body_key::kSecondName);
        std::unique_ptr<Contact> fresh;
        Contact* contact = nullptr;
        std::optional<std::string> oldText;  // the item's text, kept when the names change
        if (known != contactsByAddress_.end()) {
            contact = known->second.contact;
            if (contact->firstName != firstName || contact->secondName != secondName) {
                oldText = contact->DisplayName();
            }
        } else {
            fresh = std::make_unique<Contact>();
            contact = fresh.get();
        }

        bool changed = false;
        Store(contact->firstName, std::string(firstName), changed);
        Store(contact->secondName, std::string(secondName), changed);
        Store(contact->groupName, std::string(BodyValue(body, body_key::kGroup)), changed);
        contact->address = message.from;
        if (const std::string_view client = BodyValue(body, body_key::kClient); !client.empty()) {
            Store(contact->client, std::string(client), changed);
        }
        if (contact->client.empty()) {
            contact->client = "unknown";
        }
        Store(contact->presence, PresenceOf(message.msgType), changed);

        if (fresh) {
            if (contact->presence != PresenceState::Offline) {
                AddContact(std::move(fresh));
                emit contactUpdated(*contact);
            }
        } else if (contact->presence != PresenceState::Offline) {
            Heard(known->second);
            if (changed) {
                CountOnline(known->second);
                UpdateContact(known->second, oldText.value_or(contact->DisplayName()));
                emit contactUpdated(*contact);
            }
        } else if (keeper_ != nullptr && keeper_->KeepsAfterFarewell(*contact)) {
            if (changed) {
                CountOnline(known->second);
                UpdateContact(known->second, oldText.value_or(contact->DisplayName()));
                emit contactUpdated(*contact);
            }
        } else {
            RemoveContact(known->second, oldText.value_or(contact->DisplayName()));
        }
        emit listChanged();
    } catch (const std::exception&) {
        // Out of memory in the middle of an update: the rest of this message is dropped.
    }
}

Contact* ContactList::FindContact(std::string_view address) const {
    const auto found = contactsByAddress_.find(LowerAscii(address));
    return found == contactsByAddress_.end() ? nullptr : found->second.contact;
}

QModelIndex ContactList::FindGroupItem(std::string_view name) const {
    const GroupItem* group = FindGroup(name);
    return group == nullptr ? QModelIndex() : createIndex(static_cast<int>(group->row), 0, nullptr);
}

void ContactList::Reconsider(std::string_view address) {
    QMutexLocker lock(&contactsLock_);
    const auto found = contactsByAddress_.find(LowerAscii(address));
    if (found == contactsByAddress_.end()) {
        return;
    }
    Location& where = found->second;
    const bool holds = keeper_ != nullptr && keeper_->Holds(*where.contact);
    if (where.contact->presence == PresenceState::Offline && !holds) {
        RemoveContact(where, where.contact->DisplayName());
        emit listChanged();
    } else if (where.held && !Keeps(*where.contact)) {
        where.held = false;
        where.inOrder = heardOrder_.emplace(where.heard, where.contact).first;
    }
}

void ContactList::Heard(Location& where) {
    where.heard = ++lastHeard_;
    if (!where.held) {
        // To the end, where the newest belongs, without a new allocation.
        auto node = heardOrder_.extract(where.inOrder);
        node.key() = where.heard;
        where.inOrder = heardOrder_.insert(heardOrder_.end(), std::move(node));
    }
}

std::string ContactList::MakeRoom() {
    if (const std::int64_t now = clock_.Now(); now != replacingSecond_) {
        replacingSecond_ = now;
        replacements_ = 0;
    }
    if (replacements_ >= kMaxReplacementsPerSecond) {
        return {};
    }
    while (!heardOrder_.empty()) {
        Contact* oldest = heardOrder_.begin()->second;
        Location& where = contactsByAddress_.at(LowerAscii(oldest->address));
        if (Keeps(*oldest)) {
            // Out of the order until Reconsider finds that it holds nothing any more: a
            // full list asks about each held contact once, not at every new sender.
            heardOrder_.erase(where.inOrder);
            where.held = true;
            continue;
        }
        std::string address = oldest->address;
        oldest->presence = PresenceState::Offline;
        RemoveContact(where, oldest->DisplayName());
        ++replacements_;
        return address;
    }
    return {};
}

bool ContactList::Keeps(const Contact& contact) const {
    return (keeper_ != nullptr && keeper_->Holds(contact)) || (pinned_ && pinned_(contact.address));
}

void ContactList::ClearContacts() {
    QMutexLocker lock(&contactsLock_);
    std::vector<std::unique_ptr<Contact>> leaving;
    leaving.reserve(contactsByAddress_.size());
    beginResetModel();
    for (const auto& group : groups_) {
        while (!group->contacts.empty()) {
            leaving.push_back(std::move(group->contacts.Take(0).contact));
        }
    }
    groups_.clear();
    contactsByAddress_.clear();
    heardOrder_.clear();
    groupsByName_.clear();
    endResetModel();
    // The list is consistent (and empty) before anyone hears of the departures.
    for (const auto& contact : leaving) {
        contact->presence = PresenceState::Offline;
        emit contactUpdated(*contact);
    }
    emit listChanged();
}

Contact* ContactList::ContactAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalPointer() == nullptr) {
        return nullptr;
    }
    const auto* group = static_cast<const GroupItem*>(index.internalPointer());
    return group->contacts.At(static_cast<std::size_t>(index.row())).contact.get();
}

QModelIndex ContactList::IndexOf(const Contact& contact) const {
    const auto found = contactsByAddress_.find(LowerAscii(contact.address));
    if (found == contactsByAddress_.end() || found->second.contact != &contact) {
        return {};
    }
    GroupItem* group = found->second.group;
    const std::size_t row = RowOf(*group, contact, contact.DisplayName());
    return createIndex(static_cast<int>(row), 0, group);
}

std::vector<const Contact*> ContactList::Contacts() const {
    std::vector<const Contact*> contacts;
    contacts.reserve(contactsByAddress_.size());
    for (const auto& group : groups_) {
        for (std::size_t row = 0; row < group->contacts.size(); ++row) {
            contacts.push_back(group->contacts.At(row).contact.get());
        }
    }
    return contacts;
}

ContactList::GroupItem* ContactList::FindGroup(std::string_view name) const {
    const auto found = groupsByName_.find(LowerAscii(name));
    return found == groupsByName_.end() ? nullptr : found->second;
}

ContactList::GroupItem& ContactList::AddGroup(const std::string& name) {
    const int row = static_cast<int>(groups_.size());
    beginInsertRows({}, row, row);
    auto group = std::make_unique<GroupItem>();
    group->text = name;
    group->row = groups_.size();
    GroupItem& added = *group;
    groups_.push_back(std::move(group));
    groupsByName_[LowerAscii(name)] = &added;
    endInsertRows();
    return added;
}

void ContactList::RemoveGroup(GroupItem& group) {
    const std::size_t row = group.row;
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
    groupsByName_.erase(LowerAscii(group.text));
    groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(row));
    for (std::size_t i = row; i < groups_.size(); ++i) {
        groups_[i]->row = i;
    }
    endRemoveRows();
}

std::size_t ContactList::RowOf(const GroupItem& group, const Contact& contact,
                               const std::string& text) const {
    return group.contacts.FindRow(ContactItem{text, nullptr}, [&](const ContactItem& item) {
        return item.contact.get() == &contact;
    });
}

void ContactList::AddContact(std::unique_ptr<Contact> contact) {
    GroupItem* group = FindGroup(contact->groupName);
    if (group == nullptr) {
        group = &AddGroup(contact->groupName);
    }
    ContactItem item{contact->DisplayName(), std::move(contact)};
    const int row = static_cast<int>(group->contacts.InsertionRow(item));
    const QModelIndex parentIndex = createIndex(static_cast<int>(group->row), 0, nullptr);
    beginInsertRows(parentIndex, row, row);
    Contact* added = item.contact.get();
    group->contacts.Insert(std::move(item));
    Location& where = contactsByAddress_[LowerAscii(added->address)];
    where.contact = added;
    where.group = group;
    where.heard = ++lastHeard_;
    where.inOrder = heardOrder_.emplace_hint(heardOrder_.end(), where.heard, added);
    where.online = added->presence == PresenceState::Online;
    group->online += where.online ? 1 : 0;
    endInsertRows();
}

void ContactList::CountOnline(Location& where) {
    const bool online = where.contact->presence == PresenceState::Online;
    if (online == where.online) {
        return;
    }
    where.online = online;
    GroupItem& group = *where.group;
    online ? ++group.online : --group.online;
    // Insertions and removals redraw the tree anyway; a change of presence only this row.
    const QModelIndex item = createIndex(static_cast<int>(group.row), 0, nullptr);
    emit dataChanged(item, item, {GroupCountsRole});
}

void ContactList::UpdateContact(Location where, const std::string& oldText) {
    GroupItem& group = *where.group;
    const QModelIndex parentIndex = createIndex(static_cast<int>(group.row), 0, nullptr);
    const std::size_t row = RowOf(group, *where.contact, oldText);
    std::string newText = where.contact->DisplayName();
    std::size_t finalRow = row;
    if (newText != oldText) {
        // Where the item belongs once it has left its old place.
        const std::size_t insertion = group.contacts.InsertionRow(ContactItem{newText, nullptr});
        finalRow = insertion > row ? insertion - 1 : insertion;
        const bool moves = finalRow != row;
        if (moves) {
            const int destination = static_cast<int>(finalRow > row ? finalRow + 1 : finalRow);
            beginMoveRows(parentIndex, static_cast<int>(row), static_cast<int>(row), parentIndex,
                          destination);
        }
        ContactItem item = group.contacts.Take(row);
        item.text = std::move(newText);
        group.contacts.Insert(std::move(item));
        if (moves) {
            endMoveRows();
        }
    }
    const QModelIndex changed = index(static_cast<int>(finalRow), 0, parentIndex);
    emit dataChanged(changed, changed);
}

void ContactList::RemoveContact(Location where, const std::string& oldText) {
    GroupItem& group = *where.group;
    const std::size_t row = RowOf(group, *where.contact, oldText);
    const QModelIndex parentIndex = createIndex(static_cast<int>(group.row), 0, nullptr);
    beginRemoveRows(parentIndex, static_cast<int>(row), static_cast<int>(row));
    std::unique_ptr<Contact> leaving = std::move(group.contacts.Take(row).contact);
    if (!where.held) {
        heardOrder_.erase(where.inOrder);
    }
    group.online -= where.online ? 1 : 0;
    contactsByAddress_.erase(LowerAscii(leaving->address));
    endRemoveRows();
    // The item sits under the group it joined, even if the farewell names another one.
    if (group.contacts.empty()) {
        RemoveGroup(group);
    }
    emit contactUpdated(*leaving);
}

QModelIndex ContactList::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) {
        return {};
    }
    const auto at = static_cast<std::size_t>(row);
    if (!parent.isValid()) {
        return at < groups_.size() ? createIndex(row, 0, nullptr) : QModelIndex();
    }
    if (parent.internalPointer() != nullptr ||
        static_cast<std::size_t>(parent.row()) >= groups_.size()) {
        return {};
    }
    GroupItem* group = groups_[static_cast<std::size_t>(parent.row())].get();
    return at < group->contacts.size() ? createIndex(row, 0, group) : QModelIndex();
}

QModelIndex ContactList::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalPointer() == nullptr) {
        return {};
    }
    const auto* group = static_cast<const GroupItem*>(child.internalPointer());
    return createIndex(static_cast<int>(group->row), 0, nullptr);
}

int ContactList::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return static_cast<int>(groups_.size());
    }
    if (parent.internalPointer() != nullptr || parent.column() != 0) {
        return 0;  // contacts have no children
    }
    return static_cast<int>(groups_[static_cast<std::size_t>(parent.row())]->contacts.size());
}

int ContactList::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ContactList::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const bool isGroup = index.internalPointer() == nullptr;
    if (role == IsGroupRole) {
        return isGroup;
    }
    if (isGroup) {
        const GroupItem& group = *groups_[static_cast<std::size_t>(index.row())];
        if (role == Qt::DisplayRole || role == NameRole) {
            return QString::fromStdString(group.text);
        }
        if (role == GroupCountsRole) {
            return QPoint(static_cast<int>(group.online), static_cast<int>(group.contacts.size()));
        }
        return role == PictureRole ? QVariant(2) : QVariant();
    }
    const auto* group = static_cast<const GroupItem*>(index.internalPointer());
    const ContactItem& item = group->contacts.At(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole || role == NameRole) {
        return QString::fromStdString(item.text);
    }
    if (role == PictureRole) {
        return item.contact->presence == PresenceState::Online ? 0 : 1;
    }
    if (role == OfflineRole) {
        return item.contact->presence == PresenceState::Offline;
    }
    return {};
}

Qt::ItemFlags ContactList::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace tollix

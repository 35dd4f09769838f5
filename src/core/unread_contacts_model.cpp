#include "core/unread_contacts_model.h"

#include <algorithm>
#include <utility>

namespace tollix {

UnreadContactsModel::UnreadContactsModel(ContactList& contacts, QObject* parent)
    : QIdentityProxyModel(parent), contacts_(contacts) {
    setSourceModel(&contacts);
}

Contact* UnreadContactsModel::ContactAt(const QModelIndex& index) const {
    return contacts_.ContactAt(mapToSource(index));
}

void UnreadContactsModel::SetCounts(const QHash<QString, int>& counts) {
    const QHash<QString, int> before = std::exchange(counts_, {});
    total_ = 0;
    for (auto it = counts.begin(); it != counts.end() && counts_.size() < kMaxAddresses; ++it) {
        if (it.value() > 0) {
            counts_.insert(it.key(), it.value());
            total_ += it.value();
        }
    }
    for (const QString& address : before.keys() + counts_.keys()) {
        Refresh(address.toStdString());
    }
    emit unreadChanged();
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!counts_.contains(it.key())) {
            contacts_.Reconsider(it.key().toStdString());
        }
    }
}

void UnreadContactsModel::Set(const std::string& address, int texts) {
    const QString key = QString::fromStdString(address);
    const int before = counts_.value(key);
    const int after = std::max(0, texts);
    if (after == before) {
        return;
    }
    if (after == 0) {
        counts_.remove(key);
    } else {
        if (before == 0) {
            MakeRoom();
        }
        counts_.insert(key, after);
    }
    total_ += after - before;
    Refresh(address);
    emit unreadChanged();
    if (after == 0) {
        contacts_.Reconsider(address);  // a contact kept for its texts may leave now
    }
}

int UnreadContactsModel::Count(const std::string& address) const {
    return counts_.value(QString::fromStdString(address));
}

void UnreadContactsModel::MakeRoom() {
    if (counts_.size() < kMaxAddresses) {
        return;
    }
    // The contact list is bounded by the same number, so some address is not listed.
    for (auto it = counts_.begin(); it != counts_.end(); ++it) {
        if (contacts_.FindContact(it.key().toStdString()) == nullptr) {
            total_ -= it.value();
            counts_.erase(it);
            return;
        }
    }
}

void UnreadContactsModel::Refresh(const std::string& address) {
    if (const Contact* contact = contacts_.FindContact(address)) {
        const QModelIndex item = mapFromSource(contacts_.IndexOf(*contact));
        if (item.isValid()) {
            emit dataChanged(item, item, {Qt::DisplayRole, UnreadRole, BoldRole});
        }
    }
}

QVariant UnreadContactsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != UnreadRole && role != BoldRole)) {
        return QIdentityProxyModel::data(index, role);
    }
    const Contact* contact = ContactAt(index);
    const int unread = contact != nullptr ? Count(contact->address) : 0;
    if (role == UnreadRole) {
        return unread;
    }
    if (role == BoldRole) {
        return contact == nullptr || unread > 0;
    }
    const QVariant text = QIdentityProxyModel::data(index, role);
    return unread > 0 ? QVariant(text.toString() + QStringLiteral(" (%1)").arg(unread)) : text;
}

}  // namespace tollix

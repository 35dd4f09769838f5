#include "core/contact_filter_model.h"

#include "core/contact_list.h"

namespace tollix {

ContactFilterModel::ContactFilterModel(UnreadContactsModel& contacts, QObject* parent)
    : QSortFilterProxyModel(parent), contacts_(contacts), list_(contacts.Contacts()) {
    // A group is shown when a contact of it matches, and shows all its contacts when its
    // own name matches.
    setRecursiveFilteringEnabled(true);
    setAutoAcceptChildRows(true);
    setSourceModel(&contacts);
    sort(0);
}

void ContactFilterModel::SetFilter(const QString& words) {
    const QString filter = words.trimmed();
    if (filter == filter_) {
        return;
    }
    filter_ = filter;
    // One change of the whole layout: the rows that come and go lie scattered over
    // thousands of places, and a signal for each would cost the views far more.
    invalidate();
}

bool ContactFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (filter_.isEmpty()) {
        return true;
    }
    // Straight from the list below the tree's other models: this runs for every contact.
    const QModelIndex item = list_.index(sourceRow, 0, contacts_.mapToSource(sourceParent));
    return list_.data(item, ContactList::NameRole)
        .toString()
        .contains(filter_, Qt::CaseInsensitive);
}

bool ContactFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Contacts (whose items point at their group; groups point at nothing) keep the order
    // of the list. This runs for every contact at each key press: no lookups.
    if (left.internalPointer() != nullptr) {
        return left.row() < right.row();
    }
    const QString a = left.data(ContactList::NameRole).toString();
    const QString b = right.data(ContactList::NameRole).toString();
    if (a.isEmpty() != b.isEmpty()) {
        return b.isEmpty();
    }
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : left.row() < right.row();
}

}  // namespace tollix

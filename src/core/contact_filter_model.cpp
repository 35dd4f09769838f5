#include "core/contact_filter_model.h"

#include "core/contact_list.h"

namespace tollix {

ContactFilterModel::ContactFilterModel(QAbstractItemModel& contacts, QObject* parent)
    : QSortFilterProxyModel(parent) {
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
    invalidateFilter();
}

bool ContactFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (filter_.isEmpty()) {
        return true;
    }
    const QModelIndex item = sourceModel()->index(sourceRow, 0, sourceParent);
    return item.data(ContactList::NameRole).toString().contains(filter_, Qt::CaseInsensitive);
}

bool ContactFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (left.parent().isValid()) {
        return left.row() < right.row();  // contacts: as the list orders them
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

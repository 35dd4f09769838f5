#pragma once

#include <QSortFilterProxyModel>
#include <QString>

#include "core/unread_contacts_model.h"

namespace tollix {

// The contact tree (the unread marks over the contact list) as the user narrows it: only the groups
// whose name holds the words typed (with all their contacts) and the contacts whose name holds them
// (under their group), whatever the letter case. Groups are in the order of their names (an empty
// one last), so that they do not change places from one start to the next with the order in which
// the colleagues answered; the contacts keep the order of the list below.
class ContactFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ContactFilterModel(UnreadContactsModel& contacts, QObject* parent = nullptr);

    // Narrows the tree to `words` (trimmed; empty shows everything).
    void SetFilter(const QString& words);
    QString Filter() const { return filter_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const UnreadContactsModel& contacts_;
    const ContactList& list_;
    QString filter_;
};

}  // namespace tollix

#pragma once

#include <QStyledItemDelegate>

namespace tollix {

// Draws the items of the contact tree: the model's picture numbers as our pictures; groups
// in bold with "(online/total)" beside the name in grey, and "(no group)" in grey for the
// group without a name; contacts away or gone in faded text, those with unread texts in
// bold with their number after the name. A name too long for the row is cut short with an
// ellipsis, never what follows it.
class ContactItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // What follows the name: "(2/5)" for a group, "(3)" for a contact with unread texts.
    static QString Suffix(const QModelIndex& index);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace tollix

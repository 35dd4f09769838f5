#include "ui/mainframe/contact_item_delegate.h"

#include <QApplication>
#include <QPainter>

#include "core/contact_list.h"
#include "core/main_frame_rules.h"
#include "core/unread_contacts_model.h"
#include "ui/common/pictures.h"

namespace tollix {

QString ContactItemDelegate::Suffix(const QModelIndex& index) {
    if (index.data(ContactList::IsGroupRole).toBool()) {
        const QPoint counts = index.data(ContactList::GroupCountsRole).toPoint();
        return QStringLiteral("(%1/%2)").arg(counts.x()).arg(counts.y());
    }
    const int unread = index.data(UnreadContactsModel::UnreadRole).toInt();
    return unread > 0 ? QStringLiteral("(%1)").arg(unread) : QString();
}

void ContactItemDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant picture = index.data(ContactList::PictureRole);
    if (picture.isValid()) {
        option->icon = pictures::TreePicture(picture.toInt());
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
    }
    if (index.data(UnreadContactsModel::BoldRole).toBool()) {
        option->font.setBold(true);
    }
    // The name alone: what follows it is drawn apart, so that it is never cut off.
    option->text = index.data(ContactList::NameRole).toString();
    const bool group = index.data(ContactList::IsGroupRole).toBool();
    // Faded: a contact away (the faded picture) or gone, and the group without a name.
    if ((group && option->text.isEmpty()) || (!group && picture.toInt() == 1)) {
        option->palette.setColor(QPalette::Text,
                                 option->palette.color(QPalette::Disabled, QPalette::Text));
    }
    if (group && option->text.isEmpty()) {
        option->text = QString::fromLatin1(kNoGroupText);
        option->font.setBold(false);
    }
}

void ContactItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& base,
                                const QModelIndex& index) const {
    QStyleOptionViewItem option = base;
    initStyleOption(&option, index);
    const QString suffix = Suffix(index);
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    if (suffix.isEmpty()) {
        style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);
        return;
    }
    const bool group = index.data(ContactList::IsGroupRole).toBool();
    // The group's counts in grey and normal weight beside it; a contact's count as its name.
    QFont suffixFont = option.font;
    suffixFont.setBold(!group && option.font.bold());
    const QFontMetrics nameMetrics(option.font);
    const QFontMetrics suffixMetrics(suffixFont);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int suffixWidth = suffixMetrics.horizontalAdvance(QLatin1Char(' ') + suffix) + margin;
    option.text = nameMetrics.elidedText(option.text, Qt::ElideRight,
                                         textRect.width() - 2 * margin - suffixWidth);
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);

    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup colours =
        option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    QColor colour = option.palette.color(colours, QPalette::Text);
    if (selected) {
        colour = option.palette.color(colours, QPalette::HighlightedText);
    } else if (group) {
        colour = option.palette.color(QPalette::Disabled, QPalette::Text);
    }
    const int left = textRect.left() + margin + nameMetrics.horizontalAdvance(option.text);
    painter->save();
    painter->setFont(suffixFont);
    painter->setPen(colour);
    painter->drawText(QRect(left, textRect.top(), textRect.right() - left, textRect.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, QLatin1Char(' ') + suffix);
    painter->restore();
}

}  // namespace tollix

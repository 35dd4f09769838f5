#include "ui/mainframe/tollix_view.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QStyledItemDelegate>

#include "core/private_conversations.h"
#include "ui/common/pictures.h"
#include "ui/common/window_modal.h"

namespace tollix {

namespace {

// Draws the model's picture numbers as our pictures, items in bold where it says so, and
// contacts kept after their farewell in the faded text of a disabled item.
class ContactItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
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
        if (index.data(ContactList::OfflineRole).toBool()) {
            option->palette.setColor(QPalette::Text,
                                     option->palette.color(QPalette::Disabled, QPalette::Text));
        }
    }
};

}  // namespace

CTollixView::CTollixView(UnreadContactsModel& contacts, QWidget* parent)
    : QTreeView(parent), contacts_(contacts), contactMenu_(new QMenu("Contact Menu", this)) {
    setModel(&contacts_);
    setItemDelegate(new ContactItemDelegate(this));
    setHeaderHidden(true);
    setRootIsDecorated(false);  // no expand buttons; double click and keys still expand
    setEditTriggers(NoEditTriggers);
    setDragEnabled(false);
    setSelectionMode(SingleSelection);
    setUniformRowHeights(true);  // keeps large lists fast
    setIconSize(QSize(16, 16));
    // The background of the tree is the face colour of buttons and dialogs.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    setPalette(colours);

    contactMenu_->addAction("Send message", this,
                            [this] { emit openConversationRequested(SelectedContact()); });
    contactMenu_->addAction("Send file", this, [this] {
        if (Contact* contact = SelectedContact()) {
            emit openFileTransferRequested(contact);
        }
    });
    contactMenu_->addSeparator();
    contactMenu_->addAction("View history", this, [this] {
        if (Contact* contact = SelectedContact()) {
            emit viewHistoryRequested(contact);
        }
    });
    contactMenu_->addAction("Contact info", this, &CTollixView::OnContactInfo);

    // A new contact is made visible: its group opens and the tree scrolls to it.
    connect(&contacts_, &QAbstractItemModel::rowsInserted, this, &CTollixView::MakeVisible);
}

Contact* CTollixView::SelectedContact() const {
    return contacts_.ContactAt(currentIndex());
}

QString CTollixView::ContactInfoText(const QModelIndex& item, const Contact* contact) {
    const QString text = item.data().toString();
    if (contact == nullptr) {
        return QString("Contact: %1").arg(text);
    }
    return QString("Contact: %1\nIP: %2\nClient: %3")
        .arg(text, QString::fromStdString(contact->address),
             QString::fromStdString(contact->client));
}

QString CTollixView::SecurityCodesText(const PrivateConversations& conversations,
                                       const Contact& contact) {
    const std::optional<PinnedCode> pin = conversations.Pin(contact.address);
    QString text = QString("\n\nYour security code:\n%1\n\nTheir security code:\n%2")
                       .arg(QString::fromStdString(conversations.OwnCode()),
                            pin ? QString::fromStdString(pin->code)
                                : QString("not known yet: no private conversation so far"));
    const std::string changed = conversations.ChangedCode(contact.address);
    if (!changed.empty()) {
        text += QString("\n\nIt has changed to (not accepted yet):\n%1")
                    .arg(QString::fromStdString(changed));
    }
    if (pin) {
        text +=
            "\n\nCompare both codes with them, aloud or in person; when they match, tick "
            "\"Verified\".";
    }
    return text;
}

void CTollixView::OnContactInfo() {
    const QModelIndex item = currentIndex();
    if (!item.isValid()) {
        return;
    }
    // The item's own text: its name, without the count of unread texts.
    const Contact* contact = contacts_.ContactAt(item);
    QString text = ContactInfoText(contacts_.mapToSource(item), contact);
    const bool codes = contact != nullptr && private_ != nullptr && private_->IsOn();
    if (codes) {
        text += SecurityCodesText(*private_, *contact);
    }
    auto* box = new QMessageBox(QMessageBox::Information, "Info", text, QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);  // names come from the network
    const std::optional<PinnedCode> pin =
        codes ? private_->Pin(contact->address) : std::optional<PinnedCode>();
    if (pin) {
        auto* verified = new QCheckBox("Verified", box);
        verified->setChecked(pin->verified);
        box->setCheckBox(verified);
        // The contact may be gone by the time the box closes: its address is what counts.
        connect(box, &QDialog::finished, this,
                [this, verified, address = contact->address, was = pin->verified] {
                    if (verified->isChecked() != was) {
                        private_->SetVerified(address, verified->isChecked());
                    }
                });
    }
    OpenWindowModal(box);
}

void CTollixView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();  // the menu acts on the selected item; a right click keeps it
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CTollixView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);  // a group opens or closes by itself
    if (event->button() == Qt::LeftButton) {
        if (Contact* contact = SelectedContact()) {
            emit openConversationRequested(contact);
        }
    }
}

void CTollixView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();  // the tree's own menu or none, never the window's
    if (currentIndex().isValid()) {
        contactMenu_->popup(event->globalPos());
    }
}

void CTollixView::MakeVisible(const QModelIndex& parent, int, int last) {
    if (!parent.isValid()) {
        return;  // a new group: its first contact follows at once
    }
    expand(parent);  // cheap: the layout is redone once, later
    // A burst of answers inserts many contacts at once; scrolling lays the whole tree out,
    // so it is done once, for the newest, when the burst is over.
    newest_ = QPersistentModelIndex(model()->index(last, 0, parent));
    if (!showNewestPending_) {
        showNewestPending_ = true;
        QMetaObject::invokeMethod(this, &CTollixView::ShowNewest, Qt::QueuedConnection);
    }
}

void CTollixView::ShowNewest() {
    showNewestPending_ = false;
    if (newest_.isValid()) {
        scrollTo(newest_);
    }
}

}  // namespace tollix

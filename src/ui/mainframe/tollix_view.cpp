#include "ui/mainframe/tollix_view.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QToolTip>

#include "core/main_frame_rules.h"
#include "core/private_conversations.h"
#include "ui/common/crisp_frame.h"
#include "ui/common/plain_text.h"
#include "ui/common/window_modal.h"
#include "ui/mainframe/contact_item_delegate.h"

namespace tollix {

CTollixView::CTollixView(UnreadContactsModel& contacts, QWidget* parent)
    : QTreeView(parent),
      contacts_(contacts),
      shown_(contacts),
      contactMenu_(new QMenu("Contact Menu", this)) {
    setModel(&shown_);
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
    UseCrispFrame(*this);  // also at a fractional scale

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

    // A new contact is made visible: its group opens and the tree scrolls to it. (The
    // filter shows rows again as it widens: those are no new contacts.)
    connect(&contacts_, &QAbstractItemModel::rowsInserted, this, &CTollixView::MakeVisible);
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& group) { NoteGroupOpened(group, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& group) { NoteGroupOpened(group, false); });
}

Contact* CTollixView::SelectedContact() const {
    return ContactAt(currentIndex());
}

Contact* CTollixView::ContactAt(const QModelIndex& index) const {
    return contacts_.ContactAt(shown_.mapToSource(index));
}

QString CTollixView::ToolTipText(const QModelIndex& index) const {
    if (!index.isValid()) {
        return {};
    }
    if (const Contact* contact = ContactAt(index)) {
        return QString::fromStdString(ContactTooltipText(*contact, ConversationKind(*contact)));
    }
    const QPoint counts = index.data(ContactList::GroupCountsRole).toPoint();
    return QString::fromStdString(GroupTooltipText(
        index.data(ContactList::NameRole).toString().toStdString(), counts.x(), counts.y()));
}

std::string CTollixView::ConversationKind(const Contact& contact) const {
    if (private_ == nullptr || !private_->IsOn()) {
        return {};
    }
    if (private_->StateOf(contact.address) == PrivateConversations::State::Changed) {
        return "private, its security code has changed";
    }
    if (const std::optional<PinnedCode> pin = private_->Pin(contact.address)) {
        return pin->verified ? "private, verified" : "private";
    }
    return private_->StateOf(contact.address) == PrivateConversations::State::OpenOnly
               ? "open"
               : "private once a session is made";
}

void CTollixView::SetFilter(const QString& words) {
    shown_.SetFilter(words);
    OpenGroups();
}

void CTollixView::OpenGroups() {
    // Every group shown while the tree is narrowed, so that the contacts found show; as the
    // user left them once it is not.
    openingGroups_ = true;
    const bool narrowed = !shown_.Filter().isEmpty();
    for (int row = 0; row < shown_.rowCount(); ++row) {
        const QModelIndex group = shown_.index(row, 0);
        setExpanded(group, narrowed || !closedGroups_.contains(
                                           group.data(ContactList::NameRole).toString().toLower()));
    }
    openingGroups_ = false;
}

void CTollixView::NoteGroupOpened(const QModelIndex& group, bool open) {
    if (openingGroups_ || !shown_.Filter().isEmpty() || group.parent().isValid()) {
        return;
    }
    const QString name = group.data(ContactList::NameRole).toString().toLower();
    if (open) {
        closedGroups_.remove(name);
    } else {
        closedGroups_.insert(name);
    }
}

bool CTollixView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = ToolTipText(index);
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            // Names come from the network: shown as they are.
            QToolTip::showText(help->globalPos(), PlainToolTip(text), viewport(),
                               visualRect(index));
        }
        return true;
    }
    return QTreeView::viewportEvent(event);
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
    const QModelIndex listed = contacts_.mapToSource(shown_.mapToSource(item));
    const Contact* contact = ContactAt(item);
    QString text = ContactInfoText(listed, contact);
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
    // The filter has taken the rows in by now; a contact it hides is not shown.
    const QModelIndex group = shown_.mapFromSource(parent);
    if (!group.isValid()) {
        return;  // a new group (its first contact follows at once), or one filtered out
    }
    expand(group);  // cheap: the layout is redone once, later
    // A burst of answers inserts many contacts at once; scrolling lays the whole tree out,
    // so it is done once, for the newest, when the burst is over.
    const QModelIndex newest = shown_.mapFromSource(contacts_.index(last, 0, parent));
    if (newest.isValid()) {
        newest_ = QPersistentModelIndex(newest);
    }
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

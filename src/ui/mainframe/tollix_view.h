#pragma once

#include <QSet>
#include <QTreeView>

#include "core/contact_filter_model.h"
#include "core/unread_contacts_model.h"

class QMenu;

namespace tollix {

class PrivateConversations;

// The contact tree: group items in bold with a folder and the number of their contacts
// online, contacts with a person that fades while they are away (in bold, with the count
// after the name, while they have unread texts; in faded text once they have left with
// texts unseen), each with a tooltip that tells everything known about it. No lines, no
// expand buttons, no editing, no dragging. Double click and "Send message" open a
// conversation, "View history" opens it with its search field; a right click offers the
// "Contact Menu" for the selected item, which the click does not change.
//
// The tree shows the contacts through a filter: while it narrows them every group shown is
// open; once it is cleared, the groups the user had closed are closed again.
//
// With private conversations, "Contact info" shows both security codes, this user's and
// the contact's, and the "Verified" tick that the user sets after comparing them.
class CTollixView : public QTreeView {
    Q_OBJECT

public:
    explicit CTollixView(UnreadContactsModel& contacts, QWidget* parent = nullptr);

    Contact* SelectedContact() const;
    Contact* ContactAt(const QModelIndex& index) const;
    // The texts of "Contact info" for an item.
    static QString ContactInfoText(const QModelIndex& item, const Contact* contact);
    // The tooltip of an item of the tree.
    QString ToolTipText(const QModelIndex& index) const;
    // The security codes' part of "Contact info": this user's code, the contact's pinned one
    // and a changed one that waits for acceptance.
    static QString SecurityCodesText(const PrivateConversations& conversations,
                                     const Contact& contact);
    QMenu* ContactMenu() const { return contactMenu_; }
    // The private conversations whose codes "Contact info" shows.
    void SetPrivate(PrivateConversations* conversations) { private_ = conversations; }
    ContactFilterModel& Filter() { return shown_; }

    // Narrows the tree to the contacts and groups whose names hold `words`.
    void SetFilter(const QString& words);
    // "Contact info" for the selected item.
    void OnContactInfo();

signals:
    void openConversationRequested(tollix::Contact* contact);
    void openFileTransferRequested(tollix::Contact* contact);
    void viewHistoryRequested(tollix::Contact* contact);

protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // How a conversation with the contact goes, for its tooltip; empty without private
    // conversations.
    std::string ConversationKind(const Contact& contact) const;
    void MakeVisible(const QModelIndex& parent, int first, int last);
    void ShowNewest();
    void OpenGroups();
    void NoteGroupOpened(const QModelIndex& group, bool open);

    UnreadContactsModel& contacts_;
    ContactFilterModel shown_;
    PrivateConversations* private_ = nullptr;
    QMenu* contactMenu_;
    QPersistentModelIndex newest_;
    bool showNewestPending_ = false;
    // The groups the user has closed, by name, and whether the view is opening groups
    // itself (which is no choice of the user's).
    QSet<QString> closedGroups_;
    bool openingGroups_ = false;
};

}  // namespace tollix

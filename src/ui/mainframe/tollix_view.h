#pragma once

#include <QTreeView>

#include "core/unread_contacts_model.h"

class QMenu;

namespace tollix {

class PrivateConversations;

// The contact tree: group items in bold with a folder, contacts with a person that fades
// while they are away (in bold, with the count after the name, while they have unread
// texts; in faded text once they have left with texts unseen). No lines, no expand
// buttons, no editing, no dragging. Double click and "Send message" open a conversation,
// "View history" opens it with its search field; a right click offers the "Contact Menu"
// for the selected item, which the click does not change. With private conversations,
// "Contact info" shows both security codes, this user's and the contact's, and the
// "Verified" tick that the user sets after comparing them.
class CTollixView : public QTreeView {
    Q_OBJECT

public:
    explicit CTollixView(UnreadContactsModel& contacts, QWidget* parent = nullptr);

    Contact* SelectedContact() const;
    // The texts of "Contact info" for an item.
    static QString ContactInfoText(const QModelIndex& item, const Contact* contact);
    // The security codes' part of "Contact info": this user's code, the contact's pinned one
    // and a changed one that waits for acceptance.
    static QString SecurityCodesText(const PrivateConversations& conversations,
                                     const Contact& contact);
    QMenu* ContactMenu() const { return contactMenu_; }
    // The private conversations whose codes "Contact info" shows.
    void SetPrivate(PrivateConversations* conversations) { private_ = conversations; }

    // "Contact info" for the selected item.
    void OnContactInfo();

signals:
    void openConversationRequested(tollix::Contact* contact);
    void openFileTransferRequested(tollix::Contact* contact);
    void viewHistoryRequested(tollix::Contact* contact);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void MakeVisible(const QModelIndex& parent, int first, int last);
    void ShowNewest();

    UnreadContactsModel& contacts_;
    PrivateConversations* private_ = nullptr;
    QMenu* contactMenu_;
    QPersistentModelIndex newest_;
    bool showNewestPending_ = false;
};

}  // namespace tollix

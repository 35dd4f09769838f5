#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <functional>
#include <string>

#include "core/throttled_log.h"
#include "core/window_opening_limit.h"
#include "history/history_entry.h"

namespace tollix {

class CMsgFrame;
class CTollixApp;
class DesktopNotifications;
class HistoryKeeper;
class UnreadContactsModel;
struct Contact;

// Every text shown in a conversation passes through here: incoming ones and this copy's
// own, heard back. A text is stored first and shown once its transaction has ended, so
// that it is on the disk before it is on the screen.
//
// A text for a contact without a window opens one by itself (minimised and flashing) only
// within the window-opening limit; beyond it an incoming text is marked unread instead:
// in the store, and in the tree and the tray tip. A new window shows the contact's
// earlier texts, the unread ones among them, and clears the mark. Texts that could not be
// stored (or not yet: the file is busy) are kept in memory for that (a bounded number). An
// incoming text whose window is not the active one raises a desktop notification; the
// unread ones share one.
class ConversationTexts : public QObject {
    Q_OBJECT

public:
    // Unstored unread texts kept at most; the oldest go first.
    static constexpr std::size_t kMaxUnstored = 1000;

    // Opens the contact's conversation in the background (flashes it when it is open);
    // a new window shows the stored entries before `openingTextId` as earlier ones.
    using OpenInBackground = std::function<void(Contact& contact, qint64 openingTextId)>;

    ConversationTexts(CTollixApp& app, HistoryKeeper& keeper, UnreadContactsModel& unread,
                      DesktopNotifications& notifications, OpenInBackground open,
                      QObject* parent = nullptr);

    // A text for the conversation with `contact` (the CTollixApp::textArrived signal).
    void OnText(Contact& contact, const std::string& text, bool outgoing);
    // A window that was just made for its contact: its earlier entries (those before
    // `openingTextId` when a text opens it), and the contact's unread mark cleared.
    void ShowEarlier(CMsgFrame& window, qint64 openingTextId = 0);

signals:
    // The user chose a notification: open that contact's conversation.
    void conversationRequested(tollix::Contact* contact);

private:
    void Show(const HistoryEntry& entry, bool opens);
    void MarkUnread(const HistoryEntry& entry);
    void Notify(const HistoryEntry& entry, const CMsgFrame* window);
    void ReloadUnread();
    void ForgetUnstored(const HistoryEntry& stored);

    CTollixApp& app_;
    HistoryKeeper& keeper_;
    UnreadContactsModel& unread_;
    DesktopNotifications& notifications_;
    OpenInBackground open_;
    WindowOpeningLimit limit_;
    ThrottledLog refusals_;
    // Contacts whose window a text waiting to be stored will open.
    QSet<QString> opening_;
    std::deque<HistoryEntry> unstored_;
    QString lastUnread_;  // the sender of the newest text marked unread
};

}  // namespace tollix

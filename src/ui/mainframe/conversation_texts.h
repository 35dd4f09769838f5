#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <string>

#include "core/contact_list.h"
#include "core/text_mark.h"
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
// An incoming text is stored unread until the user has seen it: in the window they have in
// front of them, or once they bring the window that shows it there; until then its contact
// is marked in the tree and the tray tip with the number of its unread texts. A text for a
// contact without a window opens one by itself (minimised and flashing) only within the
// window-opening limit; beyond it the mark is all there is. A new window shows the
// contact's last texts, the unread ones among them, which stay marked until it comes in
// front of the user; marks of older texts than it shows stay after that. Texts that could not be
// stored (or not yet: the file is busy) are kept in memory for that (a bounded number). An incoming
// text whose window is not in front of the user raises a desktop notification; the unread ones
// share one.
//
// A text received over a private session is acknowledged once it is stored and shown (or
// marked unread). The marks of the user's private texts are stored as they change.
//
// As the contact list's keeper, it keeps a contact that leaves texts unseen listed, shown
// offline, and its window open with the line "NAME has left", until the user has seen
// them; and a full list never gives away a contact with a window or unread texts.
class ConversationTexts : public QObject, public ContactKeeper {
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
    ~ConversationTexts() override;

    // A text for the conversation with `contact` (the CTollixApp::textArrived signal).
    void OnText(Contact& contact, const std::string& text, bool outgoing,
                const TextMark& mark = {});
    // A line about the conversation that is stored and shown like a text, but read at once
    // and opening no window: how a file transfer ended. `outgoing` for the user's own.
    void OnNote(Contact& contact, const std::string& text, bool outgoing, const TextMark& mark);
    // A window that was just made for its contact: shows its earlier entries (those before
    // `openingTextId` when a text opens it) and follows what the user sees of it.
    void Attach(CMsgFrame& window, qint64 openingTextId = 0);

    bool Holds(const Contact& contact) const override;
    bool KeepsAfterFarewell(const Contact& contact) const override;

signals:
    // The user chose a notification: open that contact's conversation.
    void conversationRequested(tollix::Contact* contact);

private:
    void Show(const HistoryEntry& entry, bool opens);
    void MarkUnread(const HistoryEntry& entry);
    void Notify(const HistoryEntry& entry, const CMsgFrame* window);
    // The user has the window in front of them: what it shows is read.
    void Seen(CMsgFrame& window, const QString& address);
    // The contact's count in the tree: all its unread texts, also those its window shows
    // while the user has not had it in front of them.
    void Recount(const QString& address);
    // That count, from the stored unread texts by address.
    int TreeCount(const QString& address, const QHash<QString, int>& stored) const;
    void ReloadUnread();
    void ForgetUnstored(const HistoryEntry& stored);
    void OnMarked(const TextMark& mark);

    CTollixApp& app_;
    HistoryKeeper& keeper_;
    UnreadContactsModel& unread_;
    DesktopNotifications& notifications_;
    OpenInBackground open_;
    WindowOpeningLimit limit_;
    ThrottledLog refusals_;
    // Incoming texts of each contact on their way to the screen (being stored).
    QHash<QString, int> pending_;
    std::deque<HistoryEntry> unstored_;
    QString lastUnread_;  // the sender of the newest text marked unread
    // Private texts on their way to the screen, and a newer mark that came meanwhile.
    QHash<QString, std::optional<TextMark>> markedMeanwhile_;
};

}  // namespace tollix

#include "ui/mainframe/conversation_texts.h"

#include <QHash>
#include <algorithm>

#include "core/tollix_app.h"
#include "core/unread_contacts_model.h"
#include "history/history_store.h"
#include "platform/desktop_notifications.h"
#include "ui/conversation/msg_frame.h"
#include "ui/mainframe/history_keeper.h"

namespace tollix {

namespace {

// The notification that the texts marked unread share.
const QString kUnreadKey = QStringLiteral("unread");

}  // namespace

ConversationTexts::ConversationTexts(CTollixApp& app, HistoryKeeper& keeper,
                                     UnreadContactsModel& unread,
                                     DesktopNotifications& notifications, OpenInBackground open,
                                     QObject* parent)
    : QObject(parent),
      app_(app),
      keeper_(keeper),
      unread_(unread),
      notifications_(notifications),
      open_(std::move(open)),
      limit_(app.GetClock()),
      refusals_(app.GetClock()) {
    connect(&keeper_, &HistoryKeeper::changed, this, &ConversationTexts::ReloadUnread);
    connect(&keeper_.Store(), &HistoryStore::storedLate, this, &ConversationTexts::ForgetUnstored);
    connect(&notifications_, &DesktopNotifications::activated, this, [this](const QString& key) {
        const QString address = key == kUnreadKey ? lastUnread_ : key;
        if (Contact* contact = app_.Contacts().FindContact(address.toStdString())) {
            emit conversationRequested(contact);
        }
    });
}

void ConversationTexts::OnText(Contact& contact, const std::string& text, bool outgoing) {
    HistoryEntry entry =
        TextEntry(contact.address, outgoing ? app_.Settings().Identity() : contact.Identity(), text,
                  outgoing);
    // Decided now, so that the store keeps the text as unread when it opens no window.
    bool opens = CMsgFrame::Of(contact) != nullptr || opening_.contains(entry.address);
    if (!opens && limit_.TryOpen()) {
        opening_.insert(entry.address);
        opens = true;
    }
    if (!opens) {
        refusals_.Write("window limit",
                        "too many conversations opened by texts; a text from " + contact.address +
                            (outgoing ? " is stored without a window" : " is kept unread"));
    }
    entry.unread = !opens && !outgoing;
    keeper_.Store().Add(entry, this,
                        [this, opens](const HistoryEntry& stored) { Show(stored, opens); });
}

void ConversationTexts::Show(const HistoryEntry& entry, bool opens) {
    opening_.remove(entry.address);
    Contact* contact = app_.Contacts().FindContact(entry.address.toStdString());
    CMsgFrame* window = contact != nullptr ? CMsgFrame::Of(*contact) : nullptr;
    if (contact != nullptr && (opens || window != nullptr)) {
        open_(*contact, entry.id);  // flashes a window that is open
        window = CMsgFrame::Of(*contact);
    }
    if (window != nullptr) {
        window->AppendMessage(entry.text, entry.outgoing, entry.id);
        if (entry.overDailyLimit) {
            window->NoteNotStored();
        }
        if (entry.unread) {
            keeper_.Store().ClearUnread(entry.address);  // its window opened meanwhile
        }
    } else if (entry.unread) {
        MarkUnread(entry);
    }
    Notify(entry, window);
}

void ConversationTexts::MarkUnread(const HistoryEntry& entry) {
    lastUnread_ = entry.address;
    unread_.Add(entry.address.toStdString());
    if (entry.id > 0) {
        return;  // the store holds the mark
    }
    unstored_.push_back(entry);
    if (unstored_.size() > kMaxUnstored) {
        unread_.Add(unstored_.front().address.toStdString(), -1);
        unstored_.pop_front();
    }
}

void ConversationTexts::Notify(const HistoryEntry& entry, const CMsgFrame* window) {
    if (entry.outgoing || app_.Settings().showNotifications == 0 ||
        (window != nullptr && window->isActiveWindow())) {
        return;
    }
    QString name = entry.SenderName();
    if (name.isEmpty()) {
        name = entry.address;
    }
    // Texts beyond the window limit may come from a host that makes up senders: they
    // replace one another instead of filling the desktop with notifications.
    notifications_.Show(entry.unread && window == nullptr ? kUnreadKey : entry.address, name,
                        entry.text);
}

void ConversationTexts::ShowEarlier(CMsgFrame& window, qint64 openingTextId) {
    const Contact* contact = window.GetContact();
    if (contact == nullptr) {
        return;
    }
    const QString address = QString::fromStdString(contact->address);
    QList<HistoryEntry> unstored;
    bool overDailyLimit = false;
    for (auto it = unstored_.begin(); it != unstored_.end();) {
        if (it->address == address) {
            overDailyLimit = overDailyLimit || it->overDailyLimit;
            unstored.append(*it);
            it = unstored_.erase(it);
        } else {
            ++it;
        }
    }
    HistoryStore& store = keeper_.Store();
    window.ShowEarlierEntries(&store, unstored, openingTextId);
    if (overDailyLimit) {
        window.NoteNotStored();
    }
    // Also when no count is shown: counts of contacts that are not listed may have made
    // room for others.
    store.ClearUnread(address);
    unread_.Clear(contact->address);
}

void ConversationTexts::ForgetUnstored(const HistoryEntry& stored) {
    // The text waited for a busy file; the store now holds it, and its mark.
    const auto same = [&stored](const HistoryEntry& entry) {
        return entry.address == stored.address && entry.time == stored.time &&
               entry.text == stored.text;
    };
    const auto it = std::find_if(unstored_.begin(), unstored_.end(), same);
    if (it != unstored_.end()) {
        unstored_.erase(it);
    }
}

void ConversationTexts::ReloadUnread() {
    // None while closed; while the file cannot be read the marks shown stay.
    const std::optional<QHash<QString, int>> stored = keeper_.Store().UnreadCounts();
    if (!stored) {
        return;
    }
    QHash<QString, int> counts = *stored;
    for (const HistoryEntry& entry : unstored_) {
        ++counts[entry.address];
    }
    unread_.SetCounts(counts);
}

}  // namespace tollix

#include "ui/mainframe/conversation_texts.h"

#include <QHash>
#include <algorithm>

#include "core/private_conversations.h"
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
      refusals_(app.GetClock()) {
    app_.Contacts().SetKeeper(this);
    connect(&keeper_, &HistoryKeeper::changed, this, &ConversationTexts::ReloadUnread);
    connect(&keeper_.Store(), &HistoryStore::storedLate, this, &ConversationTexts::ForgetUnstored);
    connect(
        &app_.Private(), &PrivateConversations::textMarked, this,
        [this](const std::string&, const std::string&, const TextMark& mark) { OnMarked(mark); });
    connect(&notifications_, &DesktopNotifications::activated, this, [this](const QString& key) {
        const QString address = key == kUnreadKey ? lastUnread_ : key;
        if (Contact* contact = app_.Contacts().FindContact(address.toStdString())) {
            emit conversationRequested(contact);
        }
    });
}

ConversationTexts::~ConversationTexts() {
    app_.Contacts().SetKeeper(nullptr);
}

bool ConversationTexts::Holds(const Contact& contact) const {
    return contact.conversation != nullptr || KeepsAfterFarewell(contact);
}

bool ConversationTexts::KeepsAfterFarewell(const Contact& contact) const {
    const CMsgFrame* window = CMsgFrame::Of(contact);
    return (window != nullptr && window->HoldsUnseen()) || unread_.Count(contact.address) > 0 ||
           pending_.contains(QString::fromStdString(contact.address));
}

void ConversationTexts::OnText(Contact& contact, const std::string& text, bool outgoing,
                               const TextMark& mark) {
    HistoryEntry entry =
        TextEntry(contact.address, outgoing ? app_.Settings().Identity() : contact.Identity(), text,
                  outgoing, mark);
    if (outgoing && !entry.textId.isEmpty()) {
        markedMeanwhile_.insert(entry.textId, std::nullopt);
    }
    // Decided now: a window that is open shows it, one that a text may open still will.
    const CMsgFrame* window = CMsgFrame::Of(contact);
    const bool opens = window != nullptr || limit_.TryOpen(contact.address);
    if (!opens) {
        refusals_.Write("window limit",
                        "too many conversations opened by texts wait untouched; a text from " +
                            contact.address +
                            (outgoing ? " is stored without a window" : " is kept unread"));
    }
    // Read at once only in the window the user has in front of them.
    entry.unread = !outgoing && (window == nullptr || !window->InFront());
    if (!outgoing) {
        ++pending_[entry.address];
    }
    keeper_.Store().Add(entry, this,
                        [this, opens](const HistoryEntry& stored) { Show(stored, opens); });
}

void ConversationTexts::OnNote(Contact& contact, const std::string& text, bool outgoing,
                               const TextMark& mark) {
    const HistoryEntry entry =
        TextEntry(contact.address, outgoing ? app_.Settings().Identity() : contact.Identity(), text,
                  outgoing, mark);
    keeper_.Store().Add(entry, this, [this](const HistoryEntry& stored) {
        Contact* shownTo = app_.Contacts().FindContact(stored.address.toStdString());
        if (CMsgFrame* window = shownTo != nullptr ? CMsgFrame::Of(*shownTo) : nullptr) {
            window->AppendMessage(stored.text, stored.outgoing, stored.id, false,
                                  {stored.privacy, stored.delivery, {}});
        }
    });
}

void ConversationTexts::Show(const HistoryEntry& shown, bool opens) {
    HistoryEntry entry = shown;
    if (const std::optional<TextMark> later = markedMeanwhile_.take(entry.textId)) {
        entry.privacy = later->privacy;  // delivered (or more) while it was being stored
        entry.delivery = later->delivery;
    }
    if (!entry.outgoing && --pending_[entry.address] <= 0) {
        pending_.remove(entry.address);
    }
    const std::string address = entry.address.toStdString();
    Contact* contact = app_.Contacts().FindContact(address);
    CMsgFrame* window = contact != nullptr ? CMsgFrame::Of(*contact) : nullptr;
    if (contact != nullptr && (opens || window != nullptr)) {
        open_(*contact, entry.id);  // flashes a window that is open
        window = CMsgFrame::Of(*contact);
    } else if (opens) {
        limit_.Release(address);  // its contact has gone: no window comes
    }
    if (window != nullptr) {
        const bool seen = window->InFront();
        window->AppendMessage(entry.text, entry.outgoing, entry.id, entry.unread && !seen,
                              {entry.privacy, entry.delivery, entry.textId.toStdString()});
        if (entry.overDailyLimit) {
            window->NoteNotStored();
        }
        if (entry.unread && seen) {
            // A text still waiting for a busy file has no id yet: its mark is cleared with
            // what the window shows, once it is written.
            keeper_.Store().ClearUnread(entry.address,
                                        entry.id > 0 ? entry.id : window->FirstShownId());
        } else if (entry.unread) {
            Recount(entry.address);  // marked in the tree until the window comes forward
        }
        if (contact->presence == PresenceState::Offline) {
            window->ShowDeparture();  // it left before its text was shown
        }
    } else if (entry.unread) {
        MarkUnread(entry);
    }
    Notify(entry, window);
    if (!entry.outgoing && !entry.textId.isEmpty()) {
        app_.Private().Shown(address, entry.textId.toStdString());  // stored and shown
    }
    if (contact != nullptr && contact->presence == PresenceState::Offline) {
        app_.Contacts().Reconsider(address);  // kept for this text on its way
    }
}

void ConversationTexts::OnMarked(const TextMark& mark) {
    const QString id = QString::fromStdString(mark.id);
    keeper_.Store().SetMark(id, mark.privacy, mark.delivery);
    if (const auto pending = markedMeanwhile_.find(id); pending != markedMeanwhile_.end()) {
        *pending = mark;
    }
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
        (window != nullptr && window->InFront())) {
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

void ConversationTexts::Attach(CMsgFrame& window, qint64 openingTextId) {
    const Contact* contact = window.GetContact();
    if (contact == nullptr) {
        return;
    }
    const QString address = QString::fromStdString(contact->address);
    connect(&window, &CMsgFrame::activated, this, [this, &window, address] {
        limit_.Release(address.toStdString());  // touched
        Seen(window, address);
    });
    connect(&window, &CMsgFrame::earlierShown, this, [this, &window, address] {
        Recount(address);
        if (window.InFront()) {
            Seen(window, address);
        }
    });
    connect(&window, &CMsgFrame::closed, this, [this, address] {
        limit_.Release(address.toStdString());
        Recount(address);  // what it held unseen is marked in the tree again
        app_.Contacts().Reconsider(address.toStdString());
    });
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
    window.ShowEarlierEntries(&keeper_.Store(), unstored, openingTextId);
    if (overDailyLimit) {
        window.NoteNotStored();
    }
    Recount(address);
    if (openingTextId == 0 && contact->presence == PresenceState::Offline) {
        window.ShowDeparture();  // opened from the mark it left
    }
}

void ConversationTexts::Seen(CMsgFrame& window, const QString& address) {
    if (!window.HoldsUnseen()) {
        return;
    }
    if (window.FirstShownId() > 0) {
        keeper_.Store().ClearUnread(address, window.FirstShownId());
    }
    window.MarkSeen();
    Recount(address);
}

void ConversationTexts::Recount(const QString& address) {
    const QHash<QString, int> stored{{address, keeper_.Store().UnreadCount(address)}};
    unread_.Set(address.toStdString(), TreeCount(address, stored));
}

int ConversationTexts::TreeCount(const QString& address, const QHash<QString, int>& stored) const {
    // Every unread text of the contact: stored, in memory, or shown unseen in its window.
    const Contact* contact = app_.Contacts().FindContact(address.toStdString());
    const CMsgFrame* window = contact != nullptr ? CMsgFrame::Of(*contact) : nullptr;
    if (window != nullptr) {
        return stored.value(address) + window->UnseenUnstored();
    }
    return stored.value(address) +
           static_cast<int>(std::count_if(
               unstored_.begin(), unstored_.end(),
               [&address](const HistoryEntry& entry) { return entry.address == address; }));
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
        return;
    }
    const Contact* contact = app_.Contacts().FindContact(stored.address.toStdString());
    if (CMsgFrame* window = contact != nullptr ? CMsgFrame::Of(*contact) : nullptr;
        window != nullptr && stored.unread) {
        window->StoredLate();  // counted in the store from now on
        Recount(stored.address);
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
    for (const Contact* contact : app_.Contacts().Contacts()) {
        if (CMsgFrame::Of(*contact) != nullptr) {
            const QString address = QString::fromStdString(contact->address);
            counts[address] = TreeCount(address, *stored);
        }
    }
    unread_.SetCounts(counts);
}

}  // namespace tollix

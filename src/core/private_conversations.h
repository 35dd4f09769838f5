#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/memory_private_store.h"
#include "core/text_mark.h"
#include "core/throttled_log.h"
#include "protocol/net_message.h"
#include "session/session_channel.h"

namespace tollix {

class CTollixApp;

// Decides where each text to a contact goes: over a private session, to the open group, or
// into the waiting texts; and handles what the sessions bring (texts, acknowledgements,
// codes). The sessions themselves are behind a SessionChannel; pins and waiting texts
// behind the stores' interfaces.
//
// - A contact with a pinned code (its first session recorded it) gets texts only privately.
//   Each is kept as a waiting text from the moment it is written until its ACK comes: sent
//   at once over the session (marked sending), or, while no session can be had, marked
//   waiting and sent by itself, in order, when the contact is heard again. It never goes to
//   the group by itself: the user may send one waiting text openly, or cancel it.
// - A session that comes with another code than the pinned one leaves the contact's texts
//   waiting until the user trusts the new code; texts received over it are unverified.
// - A contact without a pinned code is tried first: its texts wait for the outcome of an
//   open (2 s at most). A session pins its code and takes them; otherwise the contact is
//   written openly until it announces itself again or 10 minutes have passed.
// - Texts from the group under the address of a contact with a pinned code are unverified.
//
// Without a channel (the setting is off), or when the channel cannot run (no identity),
// every text goes to the group as it always did, and every mark is open.
class PrivateConversations : public QObject, public SessionEvents {
    Q_OBJECT

public:
    // Texts kept waiting at most: for one contact, and in all.
    static constexpr std::size_t kMaxWaitingPerContact = 1000;
    static constexpr std::size_t kMaxWaiting = 20000;
    // Received text IDs remembered, so that a text repeated by a retry is shown once.
    static constexpr std::size_t kMaxReceivedIds = 4096;
    // Sessions closed in a row without an ACK before the texts wait for the contact to be
    // heard again (a peer that takes sessions and drops them is not tried for ever).
    static constexpr int kMaxLostSessions = 3;

    struct Timings {
        int ackTimeoutMs = 10000;  // without an ACK by then, the text goes over a new session
        std::int64_t openOnlySeconds = 600;  // a contact without a session peer is written openly
        int retryIntervalMs = 1000;  // after a contact was heard, an open that failed is tried
        int retryForMs = 10000;      // again this often, for this long
        int tickMs = 1000;           // how often deadlines are looked at
        // A contact without a pin that refused the open is tried once more after this
        // long before it is written openly: a copy that has just started (and announced
        // itself) listens only once its identity is loaded.
        int secondTryMs = 500;
    };

    enum class State {
        Off,       // no private conversations: texts go to the open group
        Unknown,   // nothing known: the next text tries a session first
        Opening,   // a session is being opened; texts wait for its outcome
        Private,   // the contact has a pinned code: texts go privately, or wait
        OpenOnly,  // no session could be opened: texts go to the open group
        Changed,   // a session came with another code: texts wait until the user trusts it
    };

    explicit PrivateConversations(CTollixApp& app, QObject* parent = nullptr);
    ~PrivateConversations() override;

    void SetTimings(const Timings& timings) { timings_ = timings; }
    // Where pins and waiting texts are kept; both must outlive this object (or be replaced
    // first). The in-memory store of its own is used until then.
    void SetStores(PinStore& pins, WaitingStore& waiting);
    // Back to the in-memory store of its own, before the stores given go away.
    void UseOwnStores() { SetStores(*ownStore_, *ownStore_); }
    // The sessions; nullptr switches private conversations off.
    void SetChannel(SessionChannel* channel);
    bool IsOn() const;
    // True while the channel loads its identity: texts wait for it.
    bool IsStarting() const { return channel_ != nullptr && channel_->IsStarting(); }
    std::string OwnCode() const;

    // A text typed for `address` (already safe for the envelope). False when it was refused
    // (too many waiting, or the open group refused it); the reason has been reported.
    bool Send(const std::string& address, const std::string& text);
    // The user opened the contact's conversation: a session is opened unless one holds or
    // the contact is written openly.
    void Prepare(const std::string& address);
    // A new message heard on the group from another host.
    void Heard(const NetMessage& message);
    // The mark of a text from the group under the address `from`.
    Privacy GroupPrivacy(const std::string& from) const;
    // A text received over a session has been stored and shown: it is acknowledged.
    void Shown(const std::string& address, const std::string& id);

    // Accepts the changed code of the contact; its waiting texts go. False when no changed
    // code waits for acceptance.
    bool Trust(const std::string& address);
    // The user has compared the codes (or takes that back). False without a pinned code.
    bool SetVerified(const std::string& address, bool verified);
    // A waiting text (not one on its way) is cancelled, or sent once to the open group.
    bool Cancel(const std::string& address, const std::string& id);
    bool SendOpenly(const std::string& address, const std::string& id);

    State StateOf(const std::string& address) const;
    std::optional<PinnedCode> Pin(const std::string& address) const;
    // The code a session came with that differs from the pinned one (empty: none).
    std::string ChangedCode(const std::string& address) const;
    // The contact's texts that wait (not those on their way), oldest first.
    std::vector<WaitingText> Waiting(const std::string& address) const;

    // SessionEvents.
    void OnSessionsRunning(bool running) override;
    void OnSessionEstablished(const QString& address, const SessionPeer& peer) override;
    void OnSessionFailed(const QString& address, bool refused) override;
    void OnSessionClosed(const QString& address) override;
    void OnSessionText(const QString& address, const QString& id, const QString& text) override;
    void OnSessionAck(const QString& address, const QString& id) override;
    void OnSessionProtocolError(const QString& address, const QString& detail) override;

signals:
    // Sessions can be opened from now on, or not any more (also when the channel was
    // given or taken): what every conversation shows may have changed.
    void sessionsRunning(bool running);
    // What StateOf, Pin or ChangedCode say about the contact may have changed.
    void stateChanged(const std::string& address);
    // An outgoing private text changed its mark (sending, delivered, waiting, cancelled; or
    // open when the user sent it openly).
    void textMarked(const std::string& address, const std::string& id, tollix::TextMark mark);
    // A text was refused; `reason` says why, for the conversation.
    void textRefused(const std::string& address, const std::string& reason);

private:
    struct Peer {
        bool opening = false;
        std::int64_t openOnlyUntil = 0;  // seconds of the app's clock
        std::int64_t retryUntilMs = 0;   // of steady_
        QString sessionCode;             // of the established session
        std::string changedCode;         // a code other than the pinned one, not accepted
        SessionPeer names;               // from the last session's HELLO
        std::deque<std::string> held;    // texts to a contact without a pin, until the open ends
        std::unordered_map<std::string, std::int64_t> inFlight;  // sent ID: when (steady_)
        int lostSessions = 0;
        bool triedAgain = false;  // after a refusal, for a contact without a pin
    };

    PinStore& Pins() const { return *pins_; }
    WaitingStore& WaitingTexts() const { return *waiting_; }
    bool CanOpen() const;
    bool OpenOnly(const Peer* peer) const;
    Peer* Find(const std::string& address);
    const Peer* Find(const std::string& address) const;
    // Takes a text to a contact with a pin: kept, shown, sent when it can be.
    bool Queue(const std::string& address, const std::string& text);
    bool Refuse(const std::string& address, std::size_t waiting);
    // Sends the contact's waiting texts over its session, or opens one for them.
    void Pump(const std::string& address);
    void OpenSession(const std::string& address);
    // Texts held for a contact without a pin go privately (a session pinned its code) or
    // openly.
    void ReleaseHeld(const std::string& address, bool privately);
    void Mark(const std::string& address, const std::string& id, Delivery delivery,
              Privacy privacy = Privacy::Private);
    // Every text of the contact that is not on its way is marked waiting.
    void MarkWaiting(const std::string& address);
    // A session that ended with texts unacknowledged: a new one is tried a few times.
    void SessionLost(const std::string& address, Peer& peer);
    void Tick();
    void ArmTick();
    void Tidy(const std::string& address);
    bool RememberReceived(const std::string& key);

    CTollixApp& app_;
    Timings timings_;
    SessionChannel* channel_ = nullptr;
    std::unique_ptr<MemoryPrivateStore> ownStore_;
    PinStore* pins_;
    WaitingStore* waiting_;
    std::unordered_map<std::string, Peer> peers_;
    std::unordered_map<std::string, Delivery> marks_;  // of the waiting texts, by ID
    // Received texts ("ADDRESS ID"), in the order received, and whether each was shown.
    std::deque<std::string> receivedOrder_;
    std::unordered_map<std::string, bool> received_;
    QElapsedTimer steady_;
    QTimer tick_;
    ThrottledLog log_;
};

}  // namespace tollix

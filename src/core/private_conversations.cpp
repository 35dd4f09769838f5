#include "core/private_conversations.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <algorithm>
#include <utility>

#include "core/tollix_app.h"

namespace tollix {

namespace {

// 128 bits from the system's cryptographic source as 32 lower-case hexadecimal digits.
std::string NewTextId() {
    std::string id;
    for (int i = 0; i < 4; ++i) {
        id += QString::number(QRandomGenerator::system()->generate(), 16)
                  .rightJustified(8, u'0')
                  .toStdString();
    }
    return id;
}

// A value as a group message would carry it: a receiver reads it up to the first "|".
std::string BodyField(const QString& value) {
    const std::string text = value.toStdString();
    return text.substr(0, text.find('|'));
}

// The sender of a session text as a text from the group would name it, so that the contact
// list takes it as it takes one.
NetMessage AsGroupText(const std::string& address, const SessionPeer& peer) {
    NetMessage message;
    message.msgType = MSGTYPE_TEXT;
    message.from = address;
    message.body = "|CLIENT=" + BodyField(peer.client) + "|FIRSTNAME=" + BodyField(peer.firstName) +
                   "|SECONDNAME=" + BodyField(peer.lastName) + "|GROUP=" + BodyField(peer.group) +
                   "|";
    return message;
}

bool IsAnnouncement(int type) {
    return type == MSGTYPE_HELLO || type == MSGTYPE_ONLINE || type == MSGTYPE_AWAY;
}

}  // namespace

PrivateConversations::PrivateConversations(CTollixApp& app, QObject* parent)
    : QObject(parent),
      app_(app),
      ownStore_(std::make_unique<MemoryPrivateStore>()),
      pins_(ownStore_.get()),
      waiting_(ownStore_.get()),
      log_(app.GetClock()) {
    steady_.start();
    connect(&tick_, &QTimer::timeout, this, &PrivateConversations::Tick);
}

PrivateConversations::~PrivateConversations() = default;

void PrivateConversations::SetStores(PinStore& pins, WaitingStore& waiting) {
    // What was kept in memory meanwhile (before a history could be read) goes along.
    if (pins_ == ownStore_.get() && &pins != pins_) {
        for (const std::string& address : ownStore_->PinnedAddresses()) {
            if (!pins.FindPin(address)) {
                pins.SavePin(*ownStore_->FindPin(address));
            }
        }
    }
    if (waiting_ == ownStore_.get() && &waiting != waiting_) {
        for (const std::string& address : ownStore_->WaitingAddresses()) {
            for (const WaitingText& text : ownStore_->WaitingFor(address)) {
                waiting.AddWaiting(text);
                ownStore_->RemoveWaiting(text.id);
            }
        }
    }
    pins_ = &pins;
    waiting_ = &waiting;
    // Those on their way keep their marks; the others wait.
    std::unordered_map<std::string, Delivery> marks;
    for (const std::string& address : waiting.WaitingAddresses()) {
        for (const WaitingText& text : waiting.WaitingFor(address)) {
            const auto known = marks_.find(text.id);
            marks[text.id] = known != marks_.end() ? known->second : Delivery::Waiting;
        }
    }
    marks_ = std::move(marks);
}

void PrivateConversations::SetChannel(SessionChannel* channel) {
    if (std::exchange(channel_, channel) != nullptr && channel == nullptr) {
        OnSessionsRunning(false);  // what was on its way waits, and is said to
    } else {
        emit sessionsRunning(CanOpen());  // every conversation looks again
    }
}

bool PrivateConversations::IsOn() const {
    // A channel that has no identity and looks for none cannot be on.
    return channel_ != nullptr &&
           (channel_->IsRunning() || channel_->IsStarting() || !channel_->OwnCode().isEmpty());
}

std::string PrivateConversations::OwnCode() const {
    return channel_ != nullptr ? channel_->OwnCode().toStdString() : std::string();
}

bool PrivateConversations::CanOpen() const {
    return channel_ != nullptr && channel_->IsRunning();
}

bool PrivateConversations::OpenOnly(const Peer* peer) const {
    return peer != nullptr && peer->openOnlyUntil > app_.GetClock().Now();
}

PrivateConversations::Peer* PrivateConversations::Find(const std::string& address) {
    const auto found = peers_.find(address);
    return found == peers_.end() ? nullptr : &found->second;
}

const PrivateConversations::Peer* PrivateConversations::Find(const std::string& address) const {
    const auto found = peers_.find(address);
    return found == peers_.end() ? nullptr : &found->second;
}

bool PrivateConversations::Send(const std::string& address, const std::string& text) {
    if (!IsOn()) {
        return app_.SendGroupText(address, text);
    }
    if (Pins().FindPin(address)) {
        return Queue(address, text);
    }
    // Without a pin: an established session means no more pins can be kept, and a channel
    // that is stopped (disconnected) opens nothing.
    if (OpenOnly(Find(address)) || (!CanOpen() && !channel_->IsStarting()) ||
        channel_->IsEstablished(QString::fromStdString(address))) {
        return app_.SendGroupText(address, text);
    }
    Peer& peer = peers_[address];
    if (peer.held.size() >= kMaxWaitingPerContact) {
        return Refuse(address, peer.held.size());
    }
    peer.held.push_back(text);
    if (CanOpen()) {
        OpenSession(address);
    }
    return true;
}

bool PrivateConversations::Queue(const std::string& address, const std::string& text) {
    const std::size_t forContact = WaitingTexts().WaitingCount(address);
    if (forContact >= kMaxWaitingPerContact || WaitingTexts().WaitingTotal() >= kMaxWaiting) {
        return Refuse(address, forContact);
    }
    const WaitingText waiting{NewTextId(), address, text, QDateTime::currentMSecsSinceEpoch()};
    WaitingTexts().AddWaiting(waiting);
    const Peer* peer = Find(address);
    const bool changed = peer != nullptr && !peer->changedCode.empty();
    const Delivery delivery =
        !changed && (CanOpen() || channel_->IsStarting()) ? Delivery::Sending : Delivery::Waiting;
    marks_[waiting.id] = delivery;
    if (Contact* contact = app_.Contacts().FindContact(address)) {
        app_.ShowText(*contact, text, true, {Privacy::Private, delivery, waiting.id});
    }
    Pump(address);
    return true;
}

bool PrivateConversations::Refuse(const std::string& address, std::size_t waiting) {
    const Contact* contact = app_.Contacts().FindContact(address);
    const std::string name =
        contact != nullptr && !contact->DisplayName().empty() ? contact->DisplayName() : address;
    emit textRefused(address,
                     waiting >= kMaxWaitingPerContact
                         ? "Not sent: 1,000 texts already wait for " + name +
                               ". Cancel some, or wait until they have gone."
                         : "Not sent: 20,000 texts already wait for their contacts. Cancel "
                           "some, or wait until they have gone.");
    return false;
}

void PrivateConversations::Pump(const std::string& address) {
    const Peer* known = Find(address);
    if (!CanOpen() || (known != nullptr && !known->changedCode.empty())) {
        return;
    }
    const QString to = QString::fromStdString(address);
    if (!channel_->IsEstablished(to)) {
        if (WaitingTexts().WaitingCount(address) > 0 ||
            (known != nullptr && !known->held.empty())) {
            OpenSession(address);
        }
        return;
    }
    Peer& peer = peers_[address];
    for (const WaitingText& text : WaitingTexts().WaitingFor(address)) {
        if (peer.inFlight.contains(text.id)) {
            continue;
        }
        if (!channel_->SendText(to, QString::fromStdString(text.id),
                                QString::fromStdString(text.text))) {
            break;  // the session went meanwhile; its end is handled as an event
        }
        peer.inFlight.emplace(text.id, steady_.elapsed());
        Mark(address, text.id, Delivery::Sending);
    }
    ArmTick();
}

void PrivateConversations::OpenSession(const std::string& address) {
    Peer& peer = peers_[address];
    if (peer.opening) {
        return;
    }
    peer.opening = true;
    emit stateChanged(address);
    channel_->Open(QString::fromStdString(address));  // may fail at once
}

void PrivateConversations::ReleaseHeld(const std::string& address, bool privately) {
    Peer* peer = Find(address);
    if (peer == nullptr || peer->held.empty()) {
        return;
    }
    std::deque<std::string> held;
    held.swap(peer->held);
    for (const std::string& text : held) {
        if (privately) {
            Queue(address, text);
        } else {
            app_.SendGroupText(address, text);
        }
    }
}

void PrivateConversations::Mark(const std::string& address, const std::string& id,
                                Delivery delivery, Privacy privacy) {
    const bool ends = delivery == Delivery::Delivered || delivery == Delivery::Cancelled ||
                      privacy != Privacy::Private;
    const auto known = marks_.find(id);
    if (ends) {
        if (known != marks_.end()) {
            marks_.erase(known);
        }
    } else if (known != marks_.end() && known->second == delivery) {
        return;  // nothing new to show
    } else {
        marks_[id] = delivery;
    }
    emit textMarked(address, id, {privacy, delivery, id});
}

void PrivateConversations::MarkWaiting(const std::string& address) {
    const Peer* peer = Find(address);
    for (const WaitingText& text : WaitingTexts().WaitingFor(address)) {
        if (peer == nullptr || !peer->inFlight.contains(text.id)) {
            Mark(address, text.id, Delivery::Waiting);
        }
    }
}

void PrivateConversations::Prepare(const std::string& address) {
    const Peer* peer = Find(address);
    if (!CanOpen() || OpenOnly(peer) || (peer != nullptr && !peer->changedCode.empty()) ||
        channel_->IsEstablished(QString::fromStdString(address))) {
        return;
    }
    OpenSession(address);
}

void PrivateConversations::Heard(const NetMessage& message) {
    if (!IsOn() || !IsAnnouncement(message.msgType)) {
        return;
    }
    const std::string& address = message.from;
    if (Peer* peer = Find(address); peer != nullptr && peer->openOnlyUntil != 0) {
        peer->openOnlyUntil = 0;  // it may have started a copy that has sessions
        emit stateChanged(address);
        Tidy(address);
    }
    if (WaitingTexts().WaitingCount(address) > 0) {
        Peer& peer = peers_[address];
        peer.retryUntilMs = steady_.elapsed() + timings_.retryForMs;
        peer.lostSessions = 0;
        Pump(address);
        ArmTick();
    }
}

Privacy PrivateConversations::GroupPrivacy(const std::string& from) const {
    return IsOn() && Pins().FindPin(from) ? Privacy::Unverified : Privacy::Open;
}

void PrivateConversations::Shown(const std::string& address, const std::string& id) {
    const auto found = received_.find(address + ' ' + id);
    if (found != received_.end() && !found->second) {
        found->second = true;
        if (channel_ != nullptr) {
            channel_->SendAck(QString::fromStdString(address), QString::fromStdString(id));
        }
    }
}

bool PrivateConversations::Trust(const std::string& address) {
    Peer* peer = Find(address);
    if (peer == nullptr || peer->changedCode.empty()) {
        return false;
    }
    const SessionPeer& names = peer->names;
    Pins().SavePin({address, peer->changedCode, names.firstName.toStdString(),
                    names.lastName.toStdString(), names.group.toStdString(), false,
                    QDateTime::currentMSecsSinceEpoch()});
    peer->changedCode.clear();
    emit stateChanged(address);
    Pump(address);
    return true;
}

bool PrivateConversations::SetVerified(const std::string& address, bool verified) {
    std::optional<PinnedCode> pin = Pins().FindPin(address);
    if (!pin) {
        return false;
    }
    pin->verified = verified;
    Pins().SavePin(*pin);
    emit stateChanged(address);
    return true;
}

bool PrivateConversations::Cancel(const std::string& address, const std::string& id) {
    for (const WaitingText& text : Waiting(address)) {
        if (text.id == id) {
            WaitingTexts().RemoveWaiting(id);
            Mark(address, id, Delivery::Cancelled);
            return true;
        }
    }
    return false;
}

bool PrivateConversations::SendOpenly(const std::string& address, const std::string& id) {
    for (const WaitingText& text : Waiting(address)) {
        if (text.id == id) {
            WaitingTexts().RemoveWaiting(id);
            Mark(address, id, Delivery::None, Privacy::Open);
            // Shown already: its copy heard back is not shown again.
            return app_.SendGroupText(address, text.text, /*showWhenHeard=*/false);
        }
    }
    return false;
}

PrivateConversations::State PrivateConversations::StateOf(const std::string& address) const {
    if (!IsOn()) {
        return State::Off;
    }
    const Peer* peer = Find(address);
    if (peer != nullptr && !peer->changedCode.empty()) {
        return State::Changed;
    }
    if (Pins().FindPin(address)) {
        return State::Private;
    }
    if (OpenOnly(peer)) {
        return State::OpenOnly;
    }
    return peer != nullptr && peer->opening ? State::Opening : State::Unknown;
}

std::optional<PinnedCode> PrivateConversations::Pin(const std::string& address) const {
    return Pins().FindPin(address);
}

std::string PrivateConversations::ChangedCode(const std::string& address) const {
    const Peer* peer = Find(address);
    return peer != nullptr ? peer->changedCode : std::string();
}

std::vector<WaitingText> PrivateConversations::Waiting(const std::string& address) const {
    std::vector<WaitingText> texts = WaitingTexts().WaitingFor(address);
    std::erase_if(texts, [this](const WaitingText& text) {
        const auto mark = marks_.find(text.id);
        return mark == marks_.end() || mark->second != Delivery::Waiting;
    });
    return texts;
}

void PrivateConversations::OnSessionsRunning(bool running) {
    emit sessionsRunning(running);
    std::vector<std::string> addresses;
    for (const auto& [address, peer] : peers_) {
        addresses.push_back(address);
    }
    if (running) {
        // Texts that waited for the channel: for every contact that has been heard.
        for (const std::string& address : WaitingTexts().WaitingAddresses()) {
            if (app_.Contacts().FindContact(address) != nullptr) {
                addresses.push_back(address);
            }
        }
        for (const std::string& address : addresses) {
            Pump(address);
        }
        return;
    }
    for (const std::string& address : addresses) {
        Peer& peer = peers_.at(address);
        peer.opening = false;
        peer.sessionCode.clear();
        peer.inFlight.clear();
        MarkWaiting(address);
        ReleaseHeld(address, false);
        emit stateChanged(address);
        Tidy(address);
    }
}

void PrivateConversations::OnSessionEstablished(const QString& from, const SessionPeer& names) {
    const std::string address = from.toStdString();
    if (!IsOn() || app_.IsLocalAddress(address)) {
        if (channel_ != nullptr) {
            channel_->Close(from);  // never a session with this host's own copies
        }
        return;
    }
    Peer& peer = peers_[address];
    peer.opening = false;
    peer.triedAgain = false;
    peer.sessionCode = names.code;
    peer.names = names;
    const std::string code = names.code.toStdString();
    const std::optional<PinnedCode> pin = Pins().FindPin(address);
    if (!pin) {
        const PinnedCode first{address,
                               code,
                               names.firstName.toStdString(),
                               names.lastName.toStdString(),
                               names.group.toStdString(),
                               false,
                               QDateTime::currentMSecsSinceEpoch()};
        if (!Pins().SavePin(first)) {
            log_.Write("pins full",
                       "no more security codes can be kept; " + address + " is written openly");
            ReleaseHeld(address, false);
            emit stateChanged(address);
            return;
        }
    } else if (pin->code != code) {
        peer.changedCode = code;
        ReleaseHeld(address, true);  // they wait, as every text to it does now
        MarkWaiting(address);
        emit stateChanged(address);
        return;
    }
    peer.changedCode.clear();
    peer.openOnlyUntil = 0;
    emit stateChanged(address);
    ReleaseHeld(address, true);
    Pump(address);
}

void PrivateConversations::OnSessionFailed(const QString& from, bool refused) {
    const std::string address = from.toStdString();
    Peer* peer = Find(address);
    if (peer == nullptr) {
        return;
    }
    const bool pinned = Pins().FindPin(address).has_value();
    if (!pinned && refused && CanOpen() && !std::exchange(peer->triedAgain, true)) {
        // Still opening meanwhile: its texts stay held.
        QTimer::singleShot(timings_.secondTryMs, this, [this, address] {
            const Peer* again = Find(address);
            if (again == nullptr || !again->opening) {
                return;
            }
            if (CanOpen()) {
                channel_->Open(QString::fromStdString(address));
            } else {
                OnSessionFailed(QString::fromStdString(address), false);
            }
        });
        return;
    }
    peer->opening = false;
    peer->triedAgain = false;
    if (pinned) {
        MarkWaiting(address);
        ReleaseHeld(address, true);
    } else {
        peer->openOnlyUntil = app_.GetClock().Now() + timings_.openOnlySeconds;
        ReleaseHeld(address, false);
    }
    emit stateChanged(address);
    ArmTick();
    Tidy(address);
}

void PrivateConversations::OnSessionClosed(const QString& from) {
    const std::string address = from.toStdString();
    Peer* peer = Find(address);
    if (peer == nullptr) {
        return;
    }
    peer->sessionCode.clear();
    if (!peer->inFlight.empty()) {
        SessionLost(address, *peer);
    }
    Tidy(address);
}

void PrivateConversations::SessionLost(const std::string& address, Peer& peer) {
    peer.inFlight.clear();
    if (++peer.lostSessions <= kMaxLostSessions && CanOpen()) {
        OpenSession(address);  // the texts go again, with the same IDs
    } else {
        MarkWaiting(address);
    }
}

void PrivateConversations::OnSessionText(const QString& from, const QString& id,
                                         const QString& text) {
    const std::string address = from.toStdString();
    if (!IsOn() || !app_.IsConnected() || app_.IsLocalAddress(address)) {
        return;
    }
    const std::string key = address + ' ' + id.toStdString();
    if (const auto seen = received_.find(key); seen != received_.end()) {
        // Shown once; acknowledged again, since the first ACK may be what was lost.
        if (seen->second) {
            channel_->SendAck(from, id);
        }
        return;
    }
    const Peer* peer = Find(address);
    // Listed, or its names brought up to date, as a text from the group would.
    app_.Contacts().OnIncomingMessage(AsGroupText(address, peer ? peer->names : SessionPeer{}));
    Contact* contact = app_.Contacts().FindContact(address);
    if (contact == nullptr) {
        return;  // the list is full: not shown, so not acknowledged
    }
    const std::optional<PinnedCode> pin = Pins().FindPin(address);
    const bool pinned = pin && peer != nullptr && peer->changedCode.empty() &&
                        pin->code == peer->sessionCode.toStdString();
    RememberReceived(key);
    app_.ShowText(
        *contact, text.toStdString(), false,
        {pinned ? Privacy::Private : Privacy::Unverified, Delivery::None, id.toStdString()});
}

bool PrivateConversations::RememberReceived(const std::string& key) {
    if (!received_.emplace(key, false).second) {
        return false;
    }
    receivedOrder_.push_back(key);
    if (receivedOrder_.size() > kMaxReceivedIds) {
        received_.erase(receivedOrder_.front());
        receivedOrder_.pop_front();
    }
    return true;
}

void PrivateConversations::OnSessionAck(const QString& from, const QString& ackId) {
    const std::string address = from.toStdString();
    const std::string id = ackId.toStdString();
    Peer* peer = Find(address);
    if (peer == nullptr || peer->inFlight.erase(id) == 0) {
        return;  // not sent over this session, or acknowledged already
    }
    peer->lostSessions = 0;
    WaitingTexts().RemoveWaiting(id);
    Mark(address, id, Delivery::Delivered);
    ArmTick();
}

void PrivateConversations::OnSessionProtocolError(const QString& address, const QString& detail) {
    log_.Write("session",
               "private session with " + address.toStdString() + ": " + detail.toStdString());
}

void PrivateConversations::Tick() {
    const std::int64_t now = steady_.elapsed();
    std::vector<std::string> addresses;
    for (const auto& [address, peer] : peers_) {
        addresses.push_back(address);
    }
    // Each step may run events of the channel that change the peers.
    for (const std::string& address : addresses) {
        Peer* peer = Find(address);
        if (peer == nullptr) {
            continue;
        }
        const auto oldest =
            std::min_element(peer->inFlight.begin(), peer->inFlight.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        if (oldest != peer->inFlight.end() && now - oldest->second >= timings_.ackTimeoutMs) {
            // No ACK in time: this session is given up for a new one.
            channel_->Close(QString::fromStdString(address));
            peer->sessionCode.clear();
            SessionLost(address, *peer);
        } else if (peer->retryUntilMs > now && !peer->opening && CanOpen() &&
                   WaitingTexts().WaitingCount(address) > 0 &&
                   !channel_->IsEstablished(QString::fromStdString(address))) {
            OpenSession(address);
        }
        peer = Find(address);
        if (peer != nullptr && peer->openOnlyUntil != 0 && !OpenOnly(peer)) {
            peer->openOnlyUntil = 0;
            emit stateChanged(address);
        }
        Tidy(address);
    }
    ArmTick();
}

void PrivateConversations::ArmTick() {
    const std::int64_t now = steady_.elapsed();
    const bool watching = std::any_of(peers_.begin(), peers_.end(), [now](const auto& entry) {
        const Peer& peer = entry.second;
        return !peer.inFlight.empty() || peer.retryUntilMs > now || peer.openOnlyUntil != 0;
    });
    if (!watching) {
        tick_.stop();
    } else if (!tick_.isActive()) {
        tick_.start(timings_.tickMs);
    }
}

void PrivateConversations::Tidy(const std::string& address) {
    const Peer* peer = Find(address);
    if (peer != nullptr && !peer->opening && peer->sessionCode.isEmpty() &&
        peer->changedCode.empty() && peer->held.empty() && peer->inFlight.empty() &&
        peer->openOnlyUntil == 0 && peer->retryUntilMs <= steady_.elapsed()) {
        peers_.erase(address);
    }
}

}  // namespace tollix

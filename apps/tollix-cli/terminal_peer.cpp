#include "terminal_peer.h"

#include <QEventLoop>
#include <QTimer>
#include <sstream>

#include "core/private_conversations.h"
#include "file_commands.h"
#include "history/history_store.h"
#include "protocol/sender_address.h"
#include "protocol/text.h"
#include "protocol/text_safety.h"

namespace tollix {

namespace {

const char* PresenceName(PresenceState presence) {
    switch (presence) {
        case PresenceState::Online:
            return "online";
        case PresenceState::Away:
            return "away";
        default:
            return "offline";
    }
}

// How long --send waits for its text to be delivered or heard back before it gives up.
constexpr int kSendWaitMs = 10000;
// How long a farewell may wait for the look-up of a tunnel host's name.
constexpr int kFarewellWaitMs = 5000;
// Texts `history` answers with when no number is given.
constexpr int kHistoryDefaultCount = 20;

// A number of texts: digits only, at least 1.
bool ParseCount(const std::string& text, int& count) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    count = std::stoi(text);
    return count > 0;
}

// The value of a hexadecimal digit, or -1.
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

}  // namespace

TerminalPeer::TerminalPeer(CTollixApp& app, TerminalOutput& out) : app_(app), out_(out) {
    connect(&app_.Contacts(), &ContactList::contactUpdated, this,
            [this](Contact& contact) { PrintContact(contact); });
    connect(&app_, &CTollixApp::textArrived, this, &TerminalPeer::PrintText);
    connect(&app_.Alerts(), &AlertService::alertRaised, this,
            [this](AlertKind, const QString&, const QString& text) {
                out_.WriteLine({"alert", text.toStdString()});
            });
    connect(&app_, &CTollixApp::connectionChanged, this, [this] { PrintState(); });
    PrivateConversations& conversations = app_.Private();
    connect(&conversations, &PrivateConversations::textMarked, this,
            [this](const std::string& address, const std::string&, const TextMark& mark) {
                PrintMark(address, mark);
            });
    connect(&conversations, &PrivateConversations::stateChanged, this, &TerminalPeer::PrintSession);
    connect(&conversations, &PrivateConversations::textRefused, this,
            [this](const std::string&, const std::string& reason) { out_.Complain(reason); });
}

void TerminalPeer::PrintText(const Contact& contact, const std::string& text, bool outgoing,
                             const TextMark& mark) {
    const AppSettings& settings = app_.Settings();
    const std::string name =
        outgoing ? std::string(Trim(settings.userFirstName + " " + settings.userLastName))
                 : contact.DisplayName();
    const auto print = [this, address = contact.address, name, text, outgoing, mark] {
        out_.WriteLine(
            {"text", outgoing ? "out" : "in", address, name, text, PrivacyName(mark.privacy)});
        if (outgoing && mark.delivery == Delivery::Waiting) {
            out_.WriteLine({"waiting", address, text});
        }
        // A private text is acknowledged once it is stored and shown.
        if (!outgoing && !mark.id.empty()) {
            app_.Private().Shown(address, mark.id);
        }
    };
    if (history_ == nullptr) {
        print();
        return;
    }
    // The line is printed once the text is stored: a process killed after it loses no
    // text it has shown.
    history_->Add(TextEntry(contact.address, outgoing ? settings.Identity() : contact.Identity(),
                            text, outgoing, mark),
                  this, [print](const HistoryEntry&) { print(); });
}

void TerminalPeer::PrintMark(const std::string& address, const TextMark& mark) {
    if (history_ != nullptr) {
        history_->SetMark(QString::fromStdString(mark.id), mark.privacy, mark.delivery);
    }
    if (mark.delivery == Delivery::Delivered) {
        out_.WriteLine({"delivered", address});
    } else if (mark.delivery == Delivery::Waiting) {
        for (const WaitingText& text : app_.Private().Waiting(address)) {
            if (text.id == mark.id) {
                out_.WriteLine({"waiting", address, text.text});
            }
        }
    }
}

void TerminalPeer::PrintSession(const std::string& address) {
    const PrivateConversations& conversations = app_.Private();
    std::string kind;
    std::string code;
    switch (conversations.StateOf(address)) {
        case PrivateConversations::State::Private:
            kind = "private";
            code = conversations.Pin(address)->code;
            break;
        case PrivateConversations::State::OpenOnly:
            kind = "open";
            break;
        case PrivateConversations::State::Changed:
            kind = "changed";
            code = conversations.ChangedCode(address);
            break;
        default:
            return;  // nothing decided yet
    }
    std::string& last = sessions_[address];
    if (last == kind + code) {
        return;
    }
    last = kind + code;
    if (code.empty()) {
        out_.WriteLine({"session", address, kind});
    } else {
        out_.WriteLine({"session", address, kind, code});
    }
}

void TerminalPeer::Trust(std::istringstream& arguments) {
    std::string address;
    std::string extra;
    arguments >> address >> extra;
    if (address.empty() || !extra.empty()) {
        out_.Complain("usage: trust ADDRESS");
    } else if (IsAddress(address) && !app_.Private().Trust(address)) {
        out_.Complain("trust: no changed security code of " + address + " waits to be accepted");
    }
}

void TerminalPeer::PrintHistory(std::istringstream& arguments) {
    std::string address;
    std::string count;
    std::string extra;
    arguments >> address >> count >> extra;
    int n = kHistoryDefaultCount;
    if (address.empty() || !extra.empty() || (!count.empty() && !ParseCount(count, n))) {
        out_.Complain("usage: history ADDRESS [N]");
        return;
    }
    if (history_ == nullptr) {
        out_.Complain("history: no history is kept without --history");
        return;
    }
    if (!IsAddress(address)) {
        return;
    }
    history_->Flush();  // the texts shown so far, and those on their way
    for (const HistoryEntry& entry : history_->Last(QString::fromStdString(address), n)) {
        out_.WriteLine({"history", entry.time.toUTC().toString(Qt::ISODateWithMs).toStdString(),
                        entry.outgoing ? "out" : "in", entry.address.toStdString(),
                        entry.SenderName().toStdString(), entry.text.toStdString()});
    }
    out_.WriteLine({"end"});
}

void TerminalPeer::PrintContact(const Contact& contact) {
    out_.WriteLine({"contact", contact.address, PresenceName(contact.presence), contact.groupName,
                    contact.firstName, contact.secondName, contact.client});
}

void TerminalPeer::PrintState() {
    const std::string state = app_.IsConnected() ? "connected" : "disconnected";
    const std::string presence = PresenceName(app_.Presence());
    if (state + presence != lastState_) {
        lastState_ = state + presence;
        out_.WriteLine({"state", state, presence});
    }
}

bool TerminalPeer::Execute(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command.empty()) {
        return true;
    }
    // Sending and coming back are the user's activity; queries leave the presence alone.
    if (command == "send" || command == "sendfile" || command == "online" || command == "connect") {
        app_.OnUserActivity();
    }
    if (command == "send") {
        std::string arguments;
        std::getline(words, arguments);
        Send(arguments);
    } else if (command == "away") {
        app_.GoAway();
    } else if (command == "online") {
        // OnUserActivity above has brought the user back.
    } else if (command == "connect") {
        app_.SetConnected(true);
    } else if (command == "disconnect") {
        app_.SetConnected(false);  // a farewell waiting for a look-up goes when it is in
    } else if (command == "contacts") {
        for (const Contact* contact : app_.Contacts().Contacts()) {
            PrintContact(*contact);
        }
        out_.WriteLine({"end"});
    } else if (command == "stats") {
        std::istringstream text(app_.BuildStatisticsText(false));
        for (std::string statsLine; std::getline(text, statsLine);) {
            out_.WriteLine({"stats", statsLine});
        }
        out_.WriteLine({"end"});
    } else if (command == "history") {
        PrintHistory(words);
    } else if (command == "code") {
        const std::string code = app_.Private().OwnCode();
        if (code.empty()) {
            out_.Complain(app_.Private().IsOn() ? "code: the identity is not ready"
                                                : "code: private conversations are off");
        } else {
            out_.WriteLine({"code", code});
        }
    } else if (command == "trust") {
        Trust(words);
    } else if (command == "quit") {
        return false;
    } else if (files_ != nullptr && files_->Execute(command, words)) {
        // a file command
    } else {
        out_.Complain("unknown command '" + command + "' (try --help)");
    }
    return true;
}

void TerminalPeer::Send(const std::string& arguments) {
    const std::string_view rest = Trim(arguments);
    const std::size_t blank = rest.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        out_.Complain("usage: send ADDRESS TEXT");
        return;
    }
    const std::string address(rest.substr(0, blank));
    if (IsAddress(address)) {
        app_.SendTextTo(address, MakeTextSafe(Unescape(rest.substr(blank + 1))));
    }
}

bool TerminalPeer::IsAddress(const std::string& address) const {
    // Anything else would become fields of its own in the envelope's TO value.
    if (!IsDottedQuad(address)) {
        out_.Complain("'" + address + "' is not a dotted IPv4 address");
        return false;
    }
    return true;
}

int TerminalPeer::SendOnce(const std::string& address, const std::string& text) {
    const std::string safe = MakeTextSafe(Unescape(text));
    if (safe.empty()) {
        out_.Complain("the text is empty");
        return 2;
    }
    if (!IsAddress(address)) {
        return 2;
    }
    app_.SetConnected(true);
    if (!app_.IsConnected()) {
        return 1;
    }
    PrivateConversations& conversations = app_.Private();
    QEventLoop done;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &done, &QEventLoop::quit);
    deadline.start(kSendWaitMs);
    if (conversations.IsStarting()) {
        // A private text needs the identity, which is loaded meanwhile.
        const auto running = connect(&conversations, &PrivateConversations::sessionsRunning, &done,
                                     &QEventLoop::quit);
        Wait(done);
        disconnect(running);
    }
    bool arrived = false;
    const auto heard =
        connect(&app_, &CTollixApp::messageRouted, &done, [&](const NetMessage& message) {
            if (message.msgType == MSGTYPE_TEXT && message.to == address &&
                app_.IsLocalAddress(message.from)) {
                arrived = true;
                done.quit();
            }
        });
    const auto delivered =
        connect(&conversations, &PrivateConversations::textMarked, &done,
                [&](const std::string& to, const std::string&, const TextMark& mark) {
                    if (to == address && mark.delivery == Delivery::Delivered) {
                        arrived = true;
                        done.quit();
                    }
                });
    if (app_.SendTextTo(address, safe) && deadline.isActive()) {
        Wait(done);
    }
    disconnect(heard);
    disconnect(delivered);
    Disconnect();
    return arrived ? 0 : 1;
}

void TerminalPeer::Disconnect() {
    app_.SetConnected(false);
    if (!app_.TunnelSendsPending()) {
        return;
    }
    QEventLoop farewell;
    connect(&app_, &CTollixApp::tunnelSendsGone, &farewell, &QEventLoop::quit);
    QTimer::singleShot(kFarewellWaitMs, &farewell, &QEventLoop::quit);
    Wait(farewell);
}

void TerminalPeer::Wait(QEventLoop& loop) {
    QEventLoop* const outer = std::exchange(waiting_, &loop);
    loop.exec();
    waiting_ = outer;
}

void TerminalPeer::StopWaiting() {
    if (waiting_ != nullptr) {
        waiting_->quit();
    }
}

std::string TerminalPeer::Unescape(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (rest.size() >= 2 && rest[0] == '\\') {
            const std::size_t named = std::string_view("ntr\\").find(rest[1]);
            if (named != std::string_view::npos) {
                result += "\n\t\r\\"[named];
                ++i;
                continue;
            }
            if (rest.size() >= 4 && rest[1] == 'x' && HexValue(rest[2]) >= 0 &&
                HexValue(rest[3]) >= 0) {
                result += static_cast<char>(HexValue(rest[2]) * 16 + HexValue(rest[3]));
                i += 3;
                continue;
            }
        }
        result += text[i];  // any other backslash stands for itself
    }
    return result;
}

}  // namespace tollix

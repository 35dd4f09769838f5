#pragma once

// Fake channels and a settable clock, so that routing, connection control and the away
// logic run without sockets: what the core sends is recorded, decoded.
#include <QString>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/clock.h"
#include "net/multicast_channel.h"
#include "net/tunnel_channel.h"
#include "protocol/message_codec.h"
#include "protocol/text.h"
#include "session/session_channel.h"

namespace tollix::testing {

// All that was written to the temporary file `log` so far.
inline QString ReadLog(std::FILE* log) {
    std::rewind(log);
    QByteArray written;
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, log)) > 0;) {
        written.append(buffer, static_cast<qsizetype>(read));
    }
    return QString::fromUtf8(written);
}

inline NetMessage DecodeSent(const char* buffer, std::size_t length) {
    NetMessage message;
    // The datagram carries a trailing NUL.
    MessageCodec().Decode(message, std::string_view(buffer, length > 0 ? length - 1 : 0));
    return message;
}

class FakeClock : public Clock {
public:
    std::int64_t now = 1'700'000'000;
    std::int64_t Now() const override { return now; }
};

class FakeMulticast : public MulticastChannel {
public:
    std::vector<std::string> localAddresses{"10.0.0.5"};
    bool joinSucceeds = true;
    bool leaveSucceeds = true;
    bool sendSucceeds = true;
    int joins = 0;
    int leaves = 0;
    bool skipSeenAtJoin = false;
    std::vector<NetMessage> sent;

    bool JoinGroup(const std::string&, std::uint16_t, int, int) override {
        ++joins;
        skipSeenAtJoin = skip192168Interfaces;
        return joinSucceeds;
    }
    bool LeaveGroup() override {
        ++leaves;
        return leaveSucceeds;
    }
    bool SendToGroup(const char* buffer, std::size_t length) override {
        sent.push_back(DecodeSent(buffer, length));
        return sendSucceeds;
    }
    int GetLocalAddresses(std::vector<std::string>& addresses) override {
        addresses.insert(addresses.end(), localAddresses.begin(), localAddresses.end());
        return static_cast<int>(localAddresses.size());
    }
    bool IsLocalAddress(std::string_view address) override {
        for (const std::string& local : localAddresses) {
            if (EqualsIgnoreCase(local, address)) {
                return true;
            }
        }
        return false;
    }
    std::vector<NetMessage> SentOfType(int type) const {
        std::vector<NetMessage> ofType;
        for (const NetMessage& message : sent) {
            if (message.msgType == type) {
                ofType.push_back(message);
            }
        }
        return ofType;
    }
};

class FakeTunnel : public TunnelChannel {
public:
    struct Sent {
        std::string host;
        std::uint16_t port;
        NetMessage message;
    };
    bool openSucceeds = true;
    bool closeSucceeds = true;
    bool open = false;
    std::set<std::string> failingHosts;
    std::vector<Sent> sent;
    std::function<void(const std::string& host)> duringSend;  // re-entrancy tests

    bool OpenChannel(std::uint16_t) override {
        open = openSucceeds;
        return openSucceeds;
    }
    bool CloseChannel() override {
        open = false;
        return closeSucceeds;
    }
    bool SendToHost(const std::string& host, std::uint16_t port, const char* buffer,
                    std::size_t length) override {
        sent.push_back({host, port, DecodeSent(buffer, length)});
        if (duringSend) {
            duringSend(host);
        }
        return !failingHosts.contains(host);
    }
};

// Sessions without sockets: what the core asks for is recorded; the test answers for the
// peers through the core's SessionEvents.
class FakeSessions : public SessionChannel {
public:
    struct Text {
        QString address;
        QString id;
        QString text;
    };
    bool running = true;
    std::vector<QString> opened;
    std::set<QString> established;
    std::vector<Text> texts;
    std::vector<QString> acks;  // the IDs acknowledged
    std::vector<QString> closed;

    bool IsRunning() const override { return running; }
    bool IsStarting() const override { return false; }
    QString OwnCode() const override { return "0000 1111"; }
    void Open(const QString& address) override { opened.push_back(address); }
    bool IsEstablished(const QString& address) const override {
        return established.contains(address);
    }
    bool SendText(const QString& address, const QString& id, const QString& text) override {
        texts.push_back({address, id, text});
        return established.contains(address);
    }
    bool SendAck(const QString&, const QString& id) override {
        acks.push_back(id);
        return true;
    }
    void Close(const QString& address) override {
        closed.push_back(address);
        established.erase(address);
    }
};

// The envelope a copy at some address would send: type, ID and identity.
inline std::string Envelope(int type, std::int32_t id, const std::string& first = "Bob",
                            const std::string& last = "Brown", const std::string& group = "Ops",
                            const std::string& extra = {}) {
    NetMessage message;
    MessageCodec().Build(type, message, extra, {first, last, group});
    message.id = id;
    return MessageCodec::EnvelopeText(message);
}

}  // namespace tollix::testing

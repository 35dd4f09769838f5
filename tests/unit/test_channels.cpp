// Datagram channels on real UDP sockets over 127.0.0.1: what reaches the receiver, what
// is dropped, and how the tunnel channel sends, waits for name look-ups and fails.
#include <arpa/inet.h>
#include <netdb.h>

#include <QtTest>
#include <vector>

#include "net/system_error.h"
#include "net/tunnel_destinations.h"
#include "net/udp_socket.h"
#include "net/unicast_socket.h"

using namespace tollix;

namespace {

struct Arrival {
    std::string text;
    std::string address;
    std::uint16_t port;
};

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Records what a channel hands to its owner.
struct RecordingEvents : ChannelEvents {
    std::vector<Arrival> datagrams;
    std::vector<bool> fromMulticast;
    std::vector<std::string> systemErrors;
    int tunnelFailures = 0;
    int sendsGone = 0;
    void HandleDatagram(std::string_view text, const std::string& address, std::uint16_t port,
                        bool multicast) override {
        datagrams.push_back({std::string(text), address, port});
        fromMulticast.push_back(multicast);
    }
    void ReportSystemError(const std::string& text) override { systemErrors.push_back(text); }
    void ReportWarning(const std::string&) override {}
    void OnInterfaceJoined() override {}
    void ReportTunnelSendFailed() override { ++tunnelFailures; }
    void OnTunnelSendsGone() override { ++sendsGone; }
};

// Answers look-ups only when the test says so, as a slow name server would.
struct DelayedResolver : HostResolver {
    std::vector<std::pair<std::string, Answer>> lookups;
    void Lookup(const std::string& host, Answer answer) override {
        lookups.emplace_back(host, std::move(answer));
    }
    void AnswerAll(const Result& result) {
        for (auto& [host, answer] : std::exchange(lookups, {})) {
            answer(host, result);
        }
    }
};

in_addr LoopbackAddress() {
    return Loopback(0).sin_addr;
}

// A free port for the tunnel channel, found by binding to port 0.
std::uint16_t FreePort() {
    UdpSocket probe;
    probe.Open(0, false);
    return probe.LocalPort();
}

}  // namespace

class UdpSocketTest : public QObject {
    Q_OBJECT

private:
    UdpSocket receiver_;
    UdpSocket sender_;
    std::vector<Arrival> arrivals_;

    void Send(const std::string& bytes) {
        QVERIFY(sender_.SendTo(bytes.data(), bytes.size(), Loopback(receiver_.LocalPort())));
    }
    // Sends a marker last and waits for it, so that everything sent before has been read.
    void Drain() {
        Send("end");
        QTRY_VERIFY(!arrivals_.empty() && arrivals_.back().text == "end");
        arrivals_.pop_back();
    }

private slots:
    void init() {
        arrivals_.clear();
        QVERIFY(receiver_.Open(0, true));
        QVERIFY(sender_.Open(0, false));
        receiver_.WatchArrivals(
            [this](std::string_view text, const std::string& address, std::uint16_t port) {
                arrivals_.push_back({std::string(text), address, port});
            });
    }
    void cleanup() {
        receiver_.Close();
        sender_.Close();
    }

    void datagramArrivesWithItsSender() {
        Send(std::string("hello\0tail", 10));
        Drain();
        QCOMPARE(arrivals_.size(), std::size_t{1});
        QCOMPARE(arrivals_[0].text, "hello");  // bytes up to the first NUL
        QCOMPARE(arrivals_[0].address, "127.0.0.1");
        QCOMPARE(arrivals_[0].port, sender_.LocalPort());
    }

    void emptyAndOversizedDatagramsAreDropped() {
        Send("");
        Send(std::string(32001, 'x'));  // would arrive cut to the buffer's 32000 bytes
        Send(std::string(32000, 'y'));  // fits exactly, no NUL
        Send(std::string("\0x", 2));    // not empty: handed on with length 0
        Drain();
        QCOMPARE(arrivals_.size(), std::size_t{2});
        QCOMPARE(arrivals_[0].text, std::string(32000, 'y'));
        QCOMPARE(arrivals_[1].text, "");
    }

    void burstsArriveWhole() {
        // Wake-ups close together make the socket rest and read in batches; nothing is lost.
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < 100; ++i) {
                Send(std::to_string(round * 100 + i));
            }
            QTest::qWait(1);
        }
        Drain();
        QCOMPARE(arrivals_.size(), std::size_t{2000});
        QCOMPARE(arrivals_.back().text, "1999");
    }

    void closingInsideTheReceiverIsSafe() {
        receiver_.WatchArrivals([this](std::string_view text, const std::string&, std::uint16_t) {
            arrivals_.push_back({std::string(text), {}, 0});
            receiver_.Close();
        });
        const std::uint16_t port = receiver_.LocalPort();
        for (int i = 0; i < 5; ++i) {
            QVERIFY(sender_.SendTo("x", 1, Loopback(port)));
        }
        QTRY_COMPARE(arrivals_.size(), std::size_t{1});
        QTest::qWait(50);
        QCOMPARE(arrivals_.size(), std::size_t{1});
        QVERIFY(!receiver_.IsOpen());
    }

    void failuresCarryTheSystemText() {
        UdpSocket closed;
        QVERIFY(!closed.SendTo("x", 1, Loopback(9)));
        QCOMPARE(LastSystemError(), "Bad file descriptor");
        UdpSocket first;
        UdpSocket second;
        QVERIFY(first.Open(0, false));
        QVERIFY(!second.Open(first.LocalPort(), false));  // port taken, no sharing
        QVERIFY(!second.IsOpen());
        QCOMPARE(LastSystemError(), "Address already in use");
    }
};

class UnicastSocketTest : public QObject {
    Q_OBJECT

private slots:
    void tunnelDatagramsArriveFromAnySender() {
        RecordingEvents events;
        CUnicastSocket channel(events);
        const std::uint16_t port = FreePort();
        QVERIFY(channel.OpenChannel(port));
        // A dotted address is used as it is; a name is looked up by the system's resolver.
        QVERIFY(channel.SendToHost("127.0.0.1", port, "one", 4));
        QVERIFY(channel.SendToHost("localhost", port, "two", 4));
        UdpSocket stranger;
        QVERIFY(stranger.Open(0, false));
        QVERIFY(stranger.SendTo("three", 5, Loopback(port)));
        QTRY_COMPARE(events.datagrams.size(), std::size_t{3});
        QCOMPARE(events.datagrams[0].text, "one");
        const bool twoLast = events.datagrams[2].text == "two";  // after its look-up
        QCOMPARE(events.datagrams[twoLast ? 1 : 2].port, stranger.LocalPort());
        QCOMPARE(events.fromMulticast, std::vector<bool>(3, false));
        QVERIFY(events.systemErrors.empty());
        QVERIFY(channel.CloseChannel());
    }

    void failuresAreReported() {
        RecordingEvents events;
        CUnicastSocket channel(events);
        QVERIFY(channel.CloseChannel());                       // never opened
        QVERIFY(!channel.SendToHost("127.0.0.1", 9, "x", 1));  // closed
        QVERIFY(!channel.SendToHost("some.name", 9, "x", 1));  // closed: no look-up
        QCOMPARE(events.systemErrors, std::vector<std::string>(2, "Bad file descriptor"));

        const std::uint16_t port = FreePort();
        QVERIFY(channel.OpenChannel(port));
        QVERIFY(channel.SendToHost("no-such-host.invalid", port, "x", 1));
        QTRY_COMPARE(events.tunnelFailures, 1);
        addrinfo* found = nullptr;  // the resolver's words for what went wrong
        const int code = getaddrinfo("no-such-host.invalid", nullptr, nullptr, &found);
        QCOMPARE(events.systemErrors.back(),
                 "no-such-host.invalid: " + std::string(gai_strerror(code)));

        // The tunnel port held by another program: the channel does not open.
        RecordingEvents otherEvents;
        CUnicastSocket other(otherEvents);
        QVERIFY(!other.OpenChannel(port));
        QVERIFY(!other.IsReceiving());
    }

    void namesWaitForTheirLookUpWithoutBlocking() {
        RecordingEvents events;
        auto owned = std::make_unique<DelayedResolver>();
        DelayedResolver& resolver = *owned;
        CUnicastSocket channel(events, std::move(owned));
        const std::uint16_t port = FreePort();
        QVERIFY(channel.OpenChannel(port));

        // While the look-up hangs, datagrams wait, 64 at most, and one look-up serves them.
        for (int i = 0; i < 70; ++i) {
            const std::string text = std::to_string(i);
            QVERIFY(channel.SendToHost("relay.example", port, text.c_str(), text.size() + 1));
        }
        QVERIFY(channel.SendToHost("127.0.0.1", port, "direct", 7));
        QTRY_COMPARE(events.datagrams.size(), std::size_t{1});
        QCOMPARE(events.datagrams[0].text, "direct");
        QCOMPARE(resolver.lookups.size(), std::size_t{1});
        QVERIFY(channel.SendsPending());

        resolver.AnswerAll({LoopbackAddress(), {}});
        QTRY_COMPARE(events.datagrams.size(), std::size_t{1 + 64});
        QCOMPARE(events.datagrams[1].text, "6");  // the oldest six were dropped
        QCOMPARE(events.datagrams[64].text, "69");
        QVERIFY(!channel.SendsPending());

        // The answer is kept: the next datagram goes at once.
        QVERIFY(channel.SendToHost("relay.example", port, "again", 6));
        QTRY_COMPARE(events.datagrams.size(), std::size_t{66});
        QVERIFY(resolver.lookups.empty());

        // A failed look-up reports like a failed send, and fails sends at once for a while.
        QVERIFY(channel.SendToHost("gone.example", port, "lost", 5));
        resolver.AnswerAll({std::nullopt, "Host not found"});
        QCOMPARE(events.tunnelFailures, 1);
        QVERIFY(!channel.SendToHost("gone.example", port, "lost", 5));
        QCOMPARE(events.systemErrors, std::vector<std::string>(2, "gone.example: Host not found"));

        // A farewell that waits for its look-up still goes after the channel is closed.
        QVERIFY(channel.SendToHost("late.example", port, "bye", 4));
        QVERIFY(channel.CloseChannel());
        QVERIFY(channel.SendsPending());
        const int goneBefore = events.sendsGone;
        resolver.AnswerAll({LoopbackAddress(), {}});
        QVERIFY(!channel.SendsPending());
        QCOMPARE(events.sendsGone, goneBefore + 1);  // what waits for the farewell may go on
        QVERIFY(!channel.SendToHost("127.0.0.1", port, "x", 1));  // closed for good now
    }

    void answersAreKeptForAMinute() {
        TunnelDestinations destinations;
        const auto start = std::chrono::steady_clock::now();
        HostResolver::Result known;
        QCOMPARE(destinations.Find("a", start, known), TunnelDestinations::State::Unknown);
        QVERIFY(destinations.Wait("a", {2035, "x"}, start));
        QVERIFY(!destinations.Wait("a", {2035, "y"}, start));  // one look-up at a time
        QCOMPARE(destinations.Answer("a", {LoopbackAddress(), {}}, start).size(), std::size_t{2});
        QVERIFY(destinations.Wait("b", {2035, "z"}, start));
        QVERIFY(destinations.Answer("b", {}, start).size() == 1);

        const auto at = [&](int seconds) { return start + std::chrono::seconds(seconds); };
        QCOMPARE(destinations.Find("a", at(59), known), TunnelDestinations::State::Known);
        QCOMPARE(known.address->s_addr, LoopbackAddress().s_addr);
        QCOMPARE(destinations.Find("a", at(60), known), TunnelDestinations::State::Unknown);
        QCOMPARE(destinations.Find("b", at(9), known), TunnelDestinations::State::Failed);
        QCOMPARE(destinations.Find("b", at(10), known), TunnelDestinations::State::Unknown);
    }
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    UdpSocketTest udp;
    UnicastSocketTest unicast;
    return QTest::qExec(&udp, argc, argv) | QTest::qExec(&unicast, argc, argv);
}

#include "test_channels.moc"

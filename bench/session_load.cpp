// tollix-session-load: private sessions against a copy, for bench/sessions.sh, run inside
// the network namespaces that script creates. Every mode prints one line of figures.
//
//   tollix-session-load first PEER COUNT
//       COUNT times: opens a session (TCP, TLS 1.3 with both certificates, HELLOs), sends
//       one text and waits for its ACK, then closes: "first N median_ms M max_ms X"
//   tollix-session-load texts PEER COUNT
//       one session, then COUNT texts one after another, each timed to its ACK
//   tollix-session-load hold PEER FIRST_ADDRESS COUNT SECONDS
//       COUNT sessions, opened 16 at a time, each from an address of its own (FIRST_ADDRESS and
//       those after it, which the host must have), held for SECONDS: "held N"
//   tollix-session-load stall PEER RATE SECONDS SOURCE...
//       RATE TCP connections a second to PEER's port 2030, from the SOURCE addresses in turn,
//       that never start TLS; each is closed by this side after 6 s (the copy closes them
//       first): "stalled N"
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "session/session_manager.h"

namespace {

using namespace tollix;

// Runs the event loop until `done` says so; false after `ms`.
bool RunUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void PrintTimes(const char* mode, std::vector<double> millis) {
    if (millis.empty()) {
        std::printf("%s 0 median_ms - max_ms -\n", mode);
        return;
    }
    std::sort(millis.begin(), millis.end());
    std::printf("%s %zu median_ms %.2f max_ms %.2f\n", mode, millis.size(),
                millis[millis.size() / 2], millis.back());
}

HelloMessage Hello() {
    return {kSessionProtocolVersion, "Tollix v.1.2.0", "Session", "Load", "Bench"};
}

// One side of the sessions, with a new identity; counts the ACKs it gets.
struct Client {
    std::unique_ptr<SessionManager> manager;
    int acks = 0;
    int closed = 0;

    explicit Client(const Identity& identity, const QHostAddress& source = {}) {
        manager = std::make_unique<SessionManager>(identity, Hello());
        if (!source.isNull()) {
            manager->Listen(source);  // sessions then leave from this address
        }
        QObject::connect(manager.get(), &SessionManager::ackReceived,
                         [this](const QString&, const QString&) { ++acks; });
        QObject::connect(manager.get(), &SessionManager::closed,
                         [this](const QString&, int, const QString&) { ++closed; });
    }

    bool RoundTrip(const QString& peer) {
        const int before = acks;
        return RunUntil([&] { return manager->IsEstablished(peer); }) &&
               manager->SendText(peer, NewTextId(), "Shall we meet at the usual place?") &&
               RunUntil([&] { return acks > before; });
    }
};

int First(const QString& peer, int count) {
    const Identity identity = *MakeIdentity();
    Client client(identity);
    std::vector<double> millis;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        client.manager->Open(peer);
        if (!client.RoundTrip(peer)) {
            break;
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        client.manager->Close(peer);
        RunUntil([] { return false; }, 30);  // the copy closes its side
    }
    PrintTimes("first", millis);
    return millis.size() == static_cast<std::size_t>(count) ? 0 : 1;
}

int Texts(const QString& peer, int count) {
    const Identity identity = *MakeIdentity();
    Client client(identity);
    client.manager->Open(peer);
    std::vector<double> millis;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!client.RoundTrip(peer)) {
            break;
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    PrintTimes("texts", millis);
    return millis.size() == static_cast<std::size_t>(count) ? 0 : 1;
}

int Hold(const QString& peer, const QString& firstAddress, int count, int seconds) {
    // Opened a wave at a time, below the copy's bound on handshakes at once (beyond it the
    // copy closes new connections at once): sessions come one after another, as in an
    // office, not all in the same millisecond.
    constexpr int kWave = 16;
    const Identity identity = *MakeIdentity();
    std::vector<std::unique_ptr<Client>> clients;
    const quint32 first = QHostAddress(firstAddress).toIPv4Address();
    for (int i = 0; i < count; ++i) {
        clients.push_back(
            std::make_unique<Client>(identity, QHostAddress(first + static_cast<quint32>(i))));
    }
    const auto established = [&] {
        return std::count_if(clients.begin(), clients.end(),
                             [&peer](const auto& c) { return c->manager->IsEstablished(peer); });
    };
    QElapsedTimer timer;
    timer.start();
    while (established() < count && timer.elapsed() < 60000) {
        std::vector<Client*> wave;
        for (auto& client : clients) {
            if (wave.size() < kWave && !client->manager->IsEstablished(peer)) {
                client->manager->Open(peer);
                wave.push_back(client.get());
            }
        }
        RunUntil(
            [&] {
                return std::all_of(wave.begin(), wave.end(), [&peer](const Client* c) {
                    return c->manager->IsEstablished(peer);
                });
            },
            3000);
    }
    std::printf("held %ld\n", static_cast<long>(established()));
    std::fflush(stdout);
    RunUntil([] { return false; }, seconds * 1000);
    return 0;
}

// A TCP connection from `source` to the peer's port 2030 that never sends a byte.
int StalledConnection(const sockaddr_in& peer, const char* source) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    if (descriptor < 0 ||
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("tollix-session-load: socket");
        std::exit(1);
    }
    ::connect(descriptor, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    return descriptor;
}

int Stall(const char* peerAddress, int rate, int seconds, const std::vector<const char*>& sources) {
    using Clock = std::chrono::steady_clock;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(2030);
    inet_pton(AF_INET, peerAddress, &peer.sin_addr);
    std::deque<std::pair<Clock::time_point, int>> open;
    const auto start = Clock::now();
    long made = 0;
    const long total = static_cast<long>(rate) * seconds;
    while (made < total) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        for (; made < std::min(total, static_cast<long>(elapsed * rate) + 1); ++made) {
            const char* source = sources[static_cast<std::size_t>(made) % sources.size()];
            open.emplace_back(Clock::now(), StalledConnection(peer, source));
        }
        while (!open.empty() && Clock::now() - open.front().first > std::chrono::seconds(6)) {
            ::close(open.front().second);
            open.pop_front();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const auto& [when, descriptor] : open) {
        ::close(descriptor);
    }
    std::printf("stalled %ld\n", made);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == "first" && args.size() == 3) {
        return First(args[1], args[2].toInt());
    }
    if (mode == "texts" && args.size() == 3) {
        return Texts(args[1], args[2].toInt());
    }
    if (mode == "hold" && args.size() == 5) {
        return Hold(args[1], args[2], args[3].toInt(), args[4].toInt());
    }
    if (mode == "stall" && args.size() >= 5) {
        return Stall(argv[2], args[2].toInt(), args[3].toInt(),
                     std::vector<const char*>(argv + 5, argv + argc));
    }
    std::fputs("usage: see the head of bench/session_load.cpp\n", stderr);
    return 2;
}

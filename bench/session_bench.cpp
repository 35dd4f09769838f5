// Private sessions on loopback, two managers in one process (127.0.0.1 and 127.0.0.2): the
// first text to a peer with the session opened for it (TCP, TLS 1.3 handshake with both
// certificates, HELLOs, the text and its ACK), and a text with its ACK over a session that
// holds. The figures between two network namespaces come with the programs.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <vector>

#include "history_fixtures.h"
#include "session/session_manager.h"

namespace {

using namespace tollix;
using namespace tollix::bench;

const QString kAnnAddress = "127.0.0.1";
const QString kBobAddress = "127.0.0.2";

// Runs the event loop until `done` says so; false after five seconds.
bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Ann and Bob, each with an identity of their own; Bob acknowledges every text at once.
struct Peers {
    std::unique_ptr<SessionManager> ann;
    std::unique_ptr<SessionManager> bob;
    int acks = 0;
    int bobClosed = 0;

    Peers() {
        static const Identity annIdentity = *MakeIdentity();
        static const Identity bobIdentity = *MakeIdentity();
        SessionLimits limits;
        limits.port = 0;
        ann = std::make_unique<SessionManager>(
            annIdentity, HelloMessage{kSessionProtocolVersion, "bench", "Ann", "Lee", "Dev"},
            limits);
        ann->Listen(QHostAddress(kAnnAddress));
        limits.port = ann->Port();
        bob = std::make_unique<SessionManager>(
            bobIdentity, HelloMessage{kSessionProtocolVersion, "bench", "Bob", "Brown", "Ops"},
            limits);
        bob->Listen(QHostAddress(kBobAddress));
        QObject::connect(bob.get(), &SessionManager::textReceived,
                         [this](const QString& from, const QString& id, const QString&) {
                             bob->SendAck(from, id);
                         });
        QObject::connect(bob.get(), &SessionManager::closed,
                         [this](const QString&, int, const QString&) { ++bobClosed; });
        QObject::connect(ann.get(), &SessionManager::ackReceived,
                         [this](const QString&, const QString&) { ++acks; });
    }

    bool Ready() const { return ann->ListenError().isEmpty() && bob->ListenError().isEmpty(); }

    // Sends a text to Bob (once the session holds) and waits for its ACK.
    bool RoundTrip() {
        const int before = acks;
        return RunUntil([this] { return ann->IsEstablished(kBobAddress); }) &&
               ann->SendText(kBobAddress, NewTextId(), "Shall we meet at the usual place?") &&
               RunUntil([this, before] { return acks > before; });
    }
};

// Times a text to its ACK. With the handshake, each text opens its session, which both sides
// end (untimed) before the next; without, all go over one session opened first.
void MeasureRoundTrips(benchmark::State& state, bool withHandshake) {
    EnsureApplication();
    Peers peers;
    if (!withHandshake) {
        peers.ann->Open(kBobAddress);
    }
    if (!peers.Ready() || (!withHandshake && !peers.RoundTrip())) {
        state.SkipWithError("no session on 127.0.0.1 and 127.0.0.2");
        return;
    }
    std::vector<double> millis;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (withHandshake) {
            peers.ann->Open(kBobAddress);
        }
        if (!peers.RoundTrip()) {
            state.SkipWithError("no session or no acknowledgement");
            return;
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (withHandshake) {
            state.PauseTiming();
            const int closed = peers.bobClosed;
            peers.ann->Close(kBobAddress);
            RunUntil([&peers, closed] { return peers.bobClosed > closed; });
            state.ResumeTiming();
        }
    }
    SetPercentiles(state, millis, "ms");
}

void BM_SessionFirstTextWithHandshake(benchmark::State& state) {
    MeasureRoundTrips(state, /*withHandshake=*/true);
}
BENCHMARK(BM_SessionFirstTextWithHandshake)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SessionLaterText(benchmark::State& state) {
    MeasureRoundTrips(state, /*withHandshake=*/false);
}
BENCHMARK(BM_SessionLaterText)->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace

// tollix-file-peer: one end of a file transfer over a real SessionManager and
// FileTransferEngine, for the two-process measurement of bench/file_speed.py (each end in a
// network namespace of its own). It speaks like tollix-cli: commands on standard input, one
// event a line on standard output.
//
//   tollix-file-peer receive ADDRESS DIR [PORT]
//       listens on ADDRESS and accepts every offer into DIR
//   tollix-file-peer send ADDRESS PEER [PORT]
//       listens on ADDRESS; `send PATH` offers the file to PEER; while it goes, a private
//       text carrying the time it was sent goes to PEER every 50 ms
//
// Events: `ready` once listening; `file done ID PATH SHA256`, `file failed ID REASON`.
// After each transfer, how late a 5 ms timer of this end's event loop fired while it went
// (`loop-late`), and on the receiving end how long the texts took to arrive (`text-delay`):
// `NAME count N median_ms M p99_ms P max_ms X`. The steady clock is the machine's, so the
// sender's stamp and the receiver's clock agree across namespaces. Commands: `send PATH`,
// `quit` (or the end of the input).
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "session/file_transfer_engine.h"
#include "session/session_manager.h"

namespace {

using namespace tollix;

constexpr int kTextIntervalMs = 50;
constexpr int kTickMs = 5;

qint64 NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Print(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Samples in milliseconds, printed as one line and cleared.
void Report(const char* name, std::vector<double>& samples) {
    if (samples.empty()) {
        return;
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%s count %zu median_ms %.2f p99_ms %.2f max_ms %.2f\n", name, samples.size(),
                samples[samples.size() / 2], samples[samples.size() * 99 / 100], samples.back());
    std::fflush(stdout);
    samples.clear();
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tollix-file-peer receive ADDRESS DIR [PORT]\n"
                 "       tollix-file-peer send ADDRESS PEER [PORT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool sending = args.size() >= 4 && args[1] == "send";
    if (args.size() < 4 || args.size() > 5 || (!sending && args[1] != "receive")) {
        return Usage();
    }
    const std::optional<Identity> identity = MakeIdentity();
    if (!identity) {
        std::fprintf(stderr, "tollix-file-peer: no key could be made\n");
        return 1;
    }
    SessionLimits limits;
    if (args.size() == 5) {
        limits.port = static_cast<quint16>(args[4].toUInt());
    }
    SessionManager sessions(*identity, {}, limits);
    if (!sessions.Listen(QHostAddress(args[2]))) {
        std::fprintf(stderr, "tollix-file-peer: %s\n", qPrintable(sessions.ListenError()));
        return 1;
    }
    FileTransferEngine files(&sessions, {});

    // The event loop's lateness, measured while a transfer goes.
    std::vector<double> lateMs;
    std::vector<double> textMs;
    qint64 lastTick = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = NowNs();
        lateMs.push_back(std::max(0.0, static_cast<double>(now - lastTick) / 1e6 - kTickMs));
        lastTick = now;
    });
    const auto transferStarts = [&] {
        lastTick = NowNs();
        tick.start(kTickMs);
    };
    QTimer texts;
    QObject::connect(&texts, &QTimer::timeout,
                     [&] { sessions.SendText(args[3], NewTextId(), QString::number(NowNs())); });
    QObject::connect(&sessions, &SessionManager::textReceived,
                     [&](const QString& address, const QString& id, const QString& text) {
                         textMs.push_back(static_cast<double>(NowNs() - text.toLongLong()) / 1e6);
                         sessions.SendAck(address, id);
                     });

    QObject::connect(&files, &FileTransferEngine::offerReceived, [&](const IncomingOffer& offer) {
        transferStarts();
        files.Accept(offer.id, args[3]);
    });
    QObject::connect(&files, &FileTransferEngine::fileDone,
                     [&](const QString& id, int, const QString& path, const QString& sha) {
                         Print("file done " + id + " " + path + " " + sha);
                     });
    QObject::connect(&files, &FileTransferEngine::finished,
                     [&](const QString& id, FileFailure failure, const QString& reason) {
                         tick.stop();
                         texts.stop();
                         if (failure != FileFailure::None) {
                             Print("file failed " + id + " " + reason);
                         }
                         Report("loop-late", lateMs);
                         Report("text-delay", textMs);
                     });

    // Commands, a line at a time.
    QByteArray input;
    QSocketNotifier stdinReady(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinReady, &QSocketNotifier::activated, [&] {
        char block[4096];
        const ssize_t got = ::read(STDIN_FILENO, block, sizeof block);
        if (got <= 0) {
            app.quit();
            return;
        }
        input.append(block, got);
        for (qsizetype end = input.indexOf('\n'); end >= 0; end = input.indexOf('\n')) {
            const QString line = QString::fromUtf8(input.left(end)).trimmed();
            input.remove(0, end + 1);
            if (line == "quit") {
                app.quit();
            } else if (sending && line.startsWith("send ")) {
                transferStarts();
                texts.start(kTextIntervalMs);
                files.Offer(args[3], {line.mid(5)});
            } else if (!line.isEmpty()) {
                std::fprintf(stderr, "tollix-file-peer: unknown command: %s\n", qPrintable(line));
            }
        }
    });
    Print("ready");
    return app.exec();
}

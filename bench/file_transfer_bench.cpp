// File transfer on loopback, two copies in one process (127.0.0.1 sends, 127.0.0.2 receives):
// the engine's rate (TLS 1.3, SHA-256 on both sides, the .part written and renamed) against a
// plain TCP copy of the same file between the same addresses (read, send, receive, write),
// the resident memory the transfer adds, and how long a text to the same peer takes while
// the file goes. TOLLIX_BENCH_FILE_MIB sets the file's size (default 512). Between two
// processes in two network namespaces: bench/file_speed.py (`make bench-files`).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <fstream>
#include <thread>

#include "history_fixtures.h"
#include "session/file_transfer_engine.h"
#include "session/session_manager.h"

namespace {

using namespace tollix;
using namespace tollix::bench;

const QString kAnnAddress = "127.0.0.1";
const QString kBobAddress = "127.0.0.2";

qint64 FileMib() {
    bool ok = false;
    const qint64 mib = qEnvironmentVariableIntValue("TOLLIX_BENCH_FILE_MIB", &ok);
    return ok && mib > 0 ? mib : 512;
}

// Resident memory of this process, in MiB.
double ResidentMib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

bool MakeFile(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 7919 % 251);
    }
    for (qint64 done = 0; done < bytes; done += block.size()) {
        block[0] = static_cast<char>(done >> 20);  // no two blocks alike
        if (file.write(block) != block.size()) {
            return false;
        }
    }
    return true;
}

sockaddr_in Address(const char* dotted, quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, dotted, &address.sin_addr);
    return address;
}

// The plain copy: a thread reads the file and sends it from 127.0.0.1, another receives it on
// 127.0.0.2 and writes it to `target`. Seconds taken, or -1.
double PlainCopy(const QString& source, const QString& target) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in bound = Address("127.0.0.2", 0);
    socklen_t size = sizeof bound;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        ::close(listener);
        return -1;
    }
    QElapsedTimer clock;
    clock.start();
    std::thread receiver([&] {
        const int connection = ::accept(listener, nullptr, nullptr);
        const int out = ::open(QFile::encodeName(target).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::vector<char> buffer(1024 * 1024);
        ssize_t got = 0;
        while ((got = ::read(connection, buffer.data(), buffer.size())) > 0) {
            if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got) {
                break;
            }
        }
        ::fdatasync(out);
        ::close(out);
        ::close(connection);
    });
    const int connection = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in from = Address("127.0.0.1", 0);
    ::bind(connection, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (::connect(connection, reinterpret_cast<sockaddr*>(&bound), sizeof bound) == 0) {
        std::vector<char> buffer(1024 * 1024);
        ssize_t got = 0;
        while ((got = ::read(in, buffer.data(), buffer.size())) > 0) {
            for (ssize_t sent = 0, n = 0; sent < got; sent += n) {
                if ((n = ::write(connection, buffer.data() + sent,
                                 static_cast<std::size_t>(got - sent))) <= 0) {
                    break;
                }
            }
        }
    }
    ::close(in);
    ::shutdown(connection, SHUT_WR);
    receiver.join();
    ::close(connection);
    ::close(listener);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

void BM_FileTransferAgainstPlainCopy(benchmark::State& state) {
    EnsureApplication();
    QTemporaryDir dir;
    const qint64 bytes = FileMib() * 1024 * 1024;
    const QString source = dir.filePath("source.bin");
    QDir().mkpath(dir.filePath("inbox"));
    if (!MakeFile(source, bytes)) {
        state.SkipWithError("no room for the file");
        return;
    }
    static const Identity annIdentity = *MakeIdentity();
    static const Identity bobIdentity = *MakeIdentity();
    SessionLimits limits;
    limits.port = 0;
    SessionManager annSessions(annIdentity, {}, limits);
    const bool annListens = annSessions.Listen(QHostAddress(kAnnAddress));
    limits.port = annSessions.Port();
    SessionManager bobSessions(bobIdentity, {}, limits);
    if (!annListens || !bobSessions.Listen(QHostAddress(kBobAddress))) {
        state.SkipWithError("no listener on 127.0.0.1 and 127.0.0.2");
        return;
    }
    FileTransferEngine ann(&annSessions, {});
    FileTransferEngine bob(&bobSessions, {});
    QObject::connect(&bob, &FileTransferEngine::offerReceived, [&](const IncomingOffer& offer) {
        bob.Accept(offer.id, dir.filePath("inbox"));
    });
    int ended = 0;
    FileFailure failure = FileFailure::None;
    for (FileTransferEngine* engine : {&ann, &bob}) {
        QObject::connect(engine, &FileTransferEngine::finished,
                         [&](const QString&, FileFailure why) {
                             ++ended;
                             failure = why == FileFailure::None ? failure : why;
                         });
    }
    // A text every 20 ms while the file goes, timed to its arrival.
    QElapsedTimer clock;
    clock.start();
    QHash<QString, qint64> sentAt;
    std::vector<double> textMs;
    QObject::connect(
        &bobSessions, &SessionManager::textReceived,
        [&](const QString&, const QString& id, const QString&) {
            textMs.push_back(static_cast<double>(clock.nsecsElapsed() - sentAt.take(id)) / 1e6);
        });
    QTimer texts;
    QObject::connect(&texts, &QTimer::timeout, [&] {
        const QString id = NewTextId();
        if (annSessions.SendText(kBobAddress, id, "Are you there?")) {
            sentAt.insert(id, clock.nsecsElapsed());
        }
    });
    double peakMib = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { peakMib = std::max(peakMib, ResidentMib()); });

    std::vector<double> ratios;
    for (auto _ : state) {
        const double plainSeconds = PlainCopy(source, dir.filePath("plain.bin"));
        QFile::remove(dir.filePath("plain.bin"));
        const double idleMib = ResidentMib();
        peakMib = idleMib;
        ended = 0;
        const qint64 started = clock.nsecsElapsed();
        ann.Offer(kBobAddress, {source});
        texts.start(20);
        sampler.start(20);
        while (ended < 2) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        texts.stop();
        sampler.stop();
        const double seconds = static_cast<double>(clock.nsecsElapsed() - started) / 1e9;
        QDir(dir.filePath("inbox")).removeRecursively();
        QDir().mkpath(dir.filePath("inbox"));
        if (failure != FileFailure::None || plainSeconds <= 0) {
            state.SkipWithError("the transfer failed");
            return;
        }
        const double mib = static_cast<double>(bytes) / (1024 * 1024);
        state.counters["engine_MiB_per_s"] = mib / seconds;
        state.counters["plain_MiB_per_s"] = mib / plainSeconds;
        state.counters["resident_growth_MiB"] = peakMib - idleMib;
        ratios.push_back(plainSeconds / seconds);
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["engine_to_plain"] = ratios[ratios.size() / 2];
    SetPercentiles(state, textMs, "ms_text");
}
BENCHMARK(BM_FileTransferAgainstPlainCopy)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

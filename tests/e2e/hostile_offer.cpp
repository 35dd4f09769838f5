// hostile_offer ADDRESS NAME: opens a private session with the copy at ADDRESS and offers it
// one file of five bytes under NAME exactly as given ("../../x"), then sends the bytes
// once the copy accepts. Prints `result done` or `result failed REASON` as the copy
// answers, `declined` when it declines; exits 1 when nothing comes within 10 s.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "session/file_frames.h"
#include "session/messages.h"
#include "session/session_manager.h"
#include "session/sha256.h"

using namespace tollix;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: hostile_offer ADDRESS NAME\n");
        return 2;
    }
    const QString peer = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QByteArray bytes("owned", 5);
    const std::optional<Identity> identity = MakeIdentity();
    SessionManager sessions(*identity, {kSessionProtocolVersion, "Tollix v.1.2.0", "Eve", "", ""});
    const QString offer = NewTextId();
    const auto send = [&](const Frame& frame) {
        sessions.SendFileControl(peer, frame.kind, frame.payload);
    };
    QObject::connect(&sessions, &SessionManager::established, [&] {
        send(Encode(FileOfferMessage{offer, {OfferedFile{name, bytes.size()}}}));
    });
    QObject::connect(&sessions, &SessionManager::fileFrameReceived,
                     [&](const QString&, std::uint8_t kind, const QByteArray& payload) {
                         if (kind == static_cast<std::uint8_t>(FileKind::Accept)) {
                             sessions.SendBulk(peer, static_cast<std::uint8_t>(FileKind::Data),
                                               FileDataHeader(offer, 0, 0) + bytes);
                             Sha256 hash;
                             hash.Add(bytes.constData(), bytes.size());
                             send(Encode(FileEndMessage{offer, 0, hash.Digest()}));
                         } else if (kind == static_cast<std::uint8_t>(FileKind::Result)) {
                             const auto result = DecodeFileResult(payload);
                             std::printf("result %s %s\n",
                                         result && result->done ? "done" : "failed",
                                         result ? qPrintable(result->reason) : "");
                             QCoreApplication::exit(0);
                         } else if (kind == static_cast<std::uint8_t>(FileKind::Decline)) {
                             std::printf("declined\n");
                             QCoreApplication::exit(0);
                         }
                     });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    sessions.Open(peer);
    return QCoreApplication::exec();
}

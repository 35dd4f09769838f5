// The private session layer: the frame codec and the control messages as rows, the identity
// file in a temporary folder, and real TLS sessions between two managers on 127.0.0.1 and
// 127.0.0.2 with short limits.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "protocol/message_codec.h"
#include "session/file_frames.h"
#include "session/identity_file.h"
#include "session/identity_loader.h"
#include "session/session_manager.h"
#include "session/tls_setup.h"

using namespace tollix;

namespace {

using Frames = QList<QPair<int, QByteArray>>;

QByteArray Header(int kind, quint32 size) {
    QByteArray header(1, static_cast<char>(kind));
    for (int shift = 24; shift >= 0; shift -= 8) {
        header.append(static_cast<char>(size >> shift & 0xff));
    }
    return header;
}

// JSON written with single quotes, for readability; ID stands for a valid text ID and %1
// for `value`.
QByteArray Json(const char* text, const QByteArray& value = {}) {
    return QByteArray(text)
        .replace("'ID'", "'0123456789abcdef0123456789abcdef'")
        .replace('\'', '"')
        .replace("%1", value);
}

mode_t ModeOf(const QString& path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 0777;
}

const HelloMessage kAnn{kSessionProtocolVersion, "Tollix v.1.2.0", "Ann", "Lee", "Dev"};
const HelloMessage kBob{kSessionProtocolVersion, "Tollix v.1.2.0", "Bob", "Brown", "Ops"};

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT

private:
    Identity ann_;
    Identity bob_;
    SessionLimits limits_;

    // Ann listens on 127.0.0.1 on a free port, Bob on 127.0.0.2 on the same one.
    struct Pair {
        std::unique_ptr<SessionManager> ann;
        std::unique_ptr<SessionManager> bob;
    };
    Pair Listening(SessionLimits bobLimits) const {
        Pair pair{std::make_unique<SessionManager>(ann_, kAnn, limits_), nullptr};
        pair.ann->Listen(QHostAddress("127.0.0.1"));
        bobLimits.port = pair.ann->Port();
        pair.bob = std::make_unique<SessionManager>(bob_, kBob, bobLimits);
        pair.bob->Listen(QHostAddress("127.0.0.2"));
        return pair;
    }

    // A manager that does not listen, whose Open goes to `port`.
    std::unique_ptr<SessionManager> Opener(quint16 port) const {
        SessionLimits limits = limits_;
        limits.port = port;
        return std::make_unique<SessionManager>(ann_, kAnn, limits);
    }

private slots:
    void initTestCase() {
        ann_ = *MakeIdentity();
        bob_ = *MakeIdentity();
        limits_.port = 0;
        limits_.openTimeoutMs = 1000;
        limits_.handshakeTimeoutMs = 500;
    }

    void frameReader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<int>("status");
        const auto ready = static_cast<int>(FrameReader::Status::NeedMore);
        QTest::newRow("two frames, one empty") << EncodeFrame(2, "ab") + EncodeFrame(9, "") << 16
                                               << Frames{{2, "ab"}, {9, ""}} << ready;
        QTest::newRow("half a header") << Header(2, 1).left(3) << 16 << Frames{} << ready;
        QTest::newRow("payload not whole")
            << EncodeFrame(2, "abc").chopped(1) << 16 << Frames{} << ready;
        QTest::newRow("at the limit") << EncodeFrame(0x40, QByteArray(16, 'x')) << 16
                                      << Frames{{0x40, QByteArray(16, 'x')}} << ready;
        QTest::newRow("over the limit, refused at its header")
            << EncodeFrame(1, "ok") + Header(3, 17) << 16 << Frames{{1, "ok"}}
            << static_cast<int>(FrameReader::Status::TooLarge);
        QTest::newRow("largest length field") << Header(3, 0xffffffff) << 16 << Frames{}
                                              << static_cast<int>(FrameReader::Status::TooLarge);
        QTest::newRow("kind 0, and the error stays")
            << Header(0, 0) + EncodeFrame(1, "x") << 16 << Frames{}
            << static_cast<int>(FrameReader::Status::Malformed);
    }
    void frameReader() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, limit);
        QFETCH(Frames, frames);
        QFETCH(int, status);
        // Whole, a byte at a time as a slow stream would bring it, and read from a device
        // (step 0).
        for (const qsizetype step : {bytes.size(), qsizetype{1}, qsizetype{0}}) {
            FrameReader reader(limit);
            Frames got;
            FrameReader::Status last = FrameReader::Status::NeedMore;
            QBuffer device(&bytes);
            QVERIFY(device.open(QIODevice::ReadOnly));
            for (qsizetype at = 0; at < bytes.size(); at += step == 0 ? bytes.size() : step) {
                if (step == 0) {
                    reader.ReadFrom(device);
                } else {
                    reader.Append(bytes.mid(at, step));
                }
                Frame frame;
                while ((last = reader.Next(frame)) == FrameReader::Status::Ready) {
                    got.append({frame.kind, frame.payload});
                }
            }
            QCOMPARE(got, frames);
            QCOMPARE(static_cast<int>(last), status);
        }
    }

    void controlMessages_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("accepted");
        const int hello = 1, text = 2, ack = 3, close = 4;
        const QByteArray longest(kMaxTextBytes - 1, 'x');
        const QByteArray id = "0123456789abcdef0123456789abcdef";
        const QByteArray euros = QString(kMaxTextBytes / 3, QChar(0x20ac)).toUtf8();
        QTest::newRow("hello, names missing, unknown key")
            << hello << Json("{'version':3,'future':[1]}") << true;
        QTest::newRow("hello without version") << hello << Json("{'client':'x'}") << false;
        QTest::newRow("hello version 0") << hello << Json("{'version':0}") << false;
        QTest::newRow("hello version as text") << hello << Json("{'version':'1'}") << false;
        QTest::newRow("hello name not a string")
            << hello << Json("{'version':1,'firstName':5}") << false;
        QTest::newRow("hello name too long")
            << hello << Json("{'version':1,'group':'%1'}", QByteArray(kMaxNameBytes + 1, 'g'))
            << false;
        QTest::newRow("not an object") << hello << Json("[1]") << false;
        QTest::newRow("not JSON") << ack << Json("{'id':") << false;
        QTest::newRow("text escaped") << text << Json("{'id':'ID','text':'a\\n\\u00e9'}") << true;
        QTest::newRow("text at the byte limit, 3 bytes a character")
            << text << Json("{'id':'ID','text':'%1'}", euros) << true;
        QTest::newRow("text a byte over")
            << text << Json("{'id':'ID','text':'%1a'}", euros) << false;
        QTest::newRow("text at the limit, escaped")
            << text << Json("{'id':'ID','text':'%1\\t'}", longest) << true;
        QTest::newRow("text empty") << text << Json("{'id':'ID','text':''}") << false;
        QTest::newRow("text lone surrogate")
            << text << Json("{'id':'ID','text':'\\ud800'}") << false;
        QTest::newRow("id upper case") << ack << Json("{'id':'%1'}", id.toUpper()) << false;
        QTest::newRow("id short") << ack << Json("{'id':'%1'}", id.chopped(1)) << false;
        QTest::newRow("close, unknown code") << close << Json("{'code':77}") << true;
        QTest::newRow("close, negative code") << close << Json("{'code':-1}") << false;

        // The file frames: OFFER 0x40, ACCEPT 0x41, CANCEL 0x46, DATA 0x43, END 0x44,
        // RESULT 0x45. 'OFFER' stands for the offer key with a valid ID.
        const int offer = 0x40, accept = 0x41, cancel = 0x46, data = 0x43, end = 0x44,
                  result = 0x45;
        const auto file = [](const char* json, const QByteArray& value = {}) {
            return Json(QByteArray(json).replace("'OFFER'", "'offer':'ID'").constData(), value);
        };
        const QByteArray many = QByteArray("{'name':'f','size':1},").repeated(257).chopped(1);
        const QByteArray sha(64, 'a');
        QTest::newRow("offer, empty name, 8 PiB")
            << offer << file("{'OFFER','files':[{'name':'','size':9007199254740991}]}") << true;
        QTest::newRow("offer without files") << offer << file("{'OFFER','files':[]}") << false;
        QTest::newRow("offer of 257 files")
            << offer << file("{'OFFER','files':[%1]}", many) << false;
        QTest::newRow("offer, size past 2^53")
            << offer << file("{'OFFER','files':[{'name':'f','size':9007199254740992}]}") << false;
        QTest::newRow("offer, negative size")
            << offer << file("{'OFFER','files':[{'name':'f','size':-1}]}") << false;
        QTest::newRow("offer, name over 1024 bytes")
            << offer << file("{'OFFER','files':[{'name':'%1','size':1}]}", QByteArray(1025, 'n'))
            << false;
        QTest::newRow("offer, ID of a text's form but upper case")
            << offer << Json("{'offer':'%1','files':[{'name':'f','size':1}]}", id.toUpper())
            << false;
        QTest::newRow("accept, a start with its hash")
            << accept << file("{'OFFER','files':[{'start':0},{'start':5,'sha256':'%1'}]}", sha)
            << true;
        QTest::newRow("accept, a start without its hash")
            << accept << file("{'OFFER','files':[{'start':5}]}") << false;
        QTest::newRow("accept, hash upper case")
            << accept << file("{'OFFER','files':[{'start':5,'sha256':'%1'}]}", sha.toUpper())
            << false;
        QTest::newRow("cancel, reason too long")
            << cancel << file("{'OFFER','reason':'%1'}", QByteArray(65, 'r')) << false;
        QTest::newRow("end, file index 256")
            << end << file("{'OFFER','file':256,'sha256':'%1'}", sha) << false;
        QTest::newRow("end, hash short")
            << end << file("{'OFFER','file':0,'sha256':'abc'}") << false;
        QTest::newRow("result failed")
            << result << file("{'OFFER','file':1,'result':'failed'}") << true;
        QTest::newRow("result neither done nor failed")
            << result << file("{'OFFER','file':1,'result':'ok'}") << false;
        const QByteArray header = FileDataHeader(QString(id), 3, 5LL << 30);
        QTest::newRow("data past 4 GiB") << data << header + "x" << true;
        QTest::newRow("data, header alone") << data << header << false;
        QTest::newRow("data, file index 256")
            << data << FileDataHeader(QString(id), 256, 0) + "x" << false;
    }
    void controlMessages() {
        QFETCH(int, kind);
        QFETCH(QByteArray, payload);
        QFETCH(bool, accepted);
        const bool decoded = kind == 1      ? DecodeHello(payload).has_value()
                             : kind == 2    ? DecodeText(payload).has_value()
                             : kind == 3    ? DecodeAck(payload).has_value()
                             : kind == 4    ? DecodeClose(payload).has_value()
                             : kind == 0x40 ? DecodeFileOffer(payload).has_value()
                             : kind == 0x41 ? DecodeFileAccept(payload).has_value()
                             : kind == 0x43 ? DecodeFileData(payload).has_value()
                             : kind == 0x44 ? DecodeFileEnd(payload).has_value()
                             : kind == 0x45 ? DecodeFileResult(payload).has_value()
                                            : DecodeFileStop(payload).has_value();
        QCOMPARE(decoded, accepted);
    }

    void messagesRoundTripAndTextLimitIsTheGroups() {
        const TextMessage text{NewTextId(), "tab\t \"quoted\" \\ ✓"};
        QVERIFY(IsTextId(text.id) && text.id != NewTextId());
        QCOMPARE(DecodeText(Encode(text).payload), text);
        QCOMPARE(DecodeHello(Encode(kAnn).payload), kAnn);
        QCOMPARE(DecodeAck(Encode(AckMessage{text.id}).payload), AckMessage{text.id});
        const CloseMessage close{5, "replaced"};
        QCOMPARE(DecodeClose(Encode(close).payload), close);
        const std::optional<FileData> data = DecodeFileData(FileDataHeader(text.id, 3, 7) + "xyz");
        QCOMPARE(data->Bytes(), "xyz");
        QCOMPARE(data->offset, 7);
        // A name longer than a HELLO may carry is cut at a character, not made malformed.
        HelloMessage longName = kAnn;
        longName.firstName = QString(kMaxNameBytes, QChar(0xe9));
        QCOMPARE(DecodeHello(Encode(longName).payload)->firstName,
                 QString(kMaxNameBytes / 2, QChar(0xe9)));
        // Every byte escaped six times over still fits a frame.
        QVERIFY(kMaxTextBytes * 6 + 64 < kMaxFramePayload);

        // The longest text the group carries with empty names and the longest stamps.
        NetMessage longest;
        MessageCodec().Build(MSGTYPE_TEXT, longest,
                             "TO=255.255.255.255|TEXT=" + std::string(kMaxTextBytes, 'x'), {});
        longest.id = 999999;
        QVERIFY(MessageCodec::ArrivesWholeAfterRelay(longest));
        longest.body += 'x';
        QVERIFY(!MessageCodec::ArrivesWholeAfterRelay(longest));
    }

    // Trust comes from the pinned code: only the self-signed error of the certificate the
    // peer presented is let go, and nothing when any other error comes with it.
    void onlyThePeersSelfSignedErrorIsIgnored_data() {
        QTest::addColumn<QList<QSslError>>("errors");
        QTest::addColumn<bool>("ignored");
        const QSslCertificate peer = bob_.Certificate(), other = ann_.Certificate();
        const QSslError selfSigned(QSslError::SelfSignedCertificate, peer);
        QTest::newRow("self-signed") << QList<QSslError>{selfSigned} << true;
        QTest::newRow("self-signed, another certificate")
            << QList<QSslError>{{QSslError::SelfSignedCertificate, other}} << false;
        QTest::newRow("and a name mismatch")
            << QList<QSslError>{selfSigned, {QSslError::HostNameMismatch, peer}} << false;
        QTest::newRow("expired") << QList<QSslError>{{QSslError::CertificateExpired, peer}}
                                 << false;
        QTest::newRow("no certificate")
            << QList<QSslError>{QSslError(QSslError::NoPeerCertificate)} << false;
    }
    void onlyThePeersSelfSignedErrorIsIgnored() {
        QFETCH(QList<QSslError>, errors);
        QFETCH(bool, ignored);
        const QList<QSslError> ignore = ErrorsToIgnore(errors, bob_.Certificate());
        QCOMPARE(ignore, ignored ? errors : QList<QSslError>{});
    }

    void identityIsMadeOnceKeptPrivateAndSharedByConcurrentProcesses() {
        QTemporaryDir dir;
        const QString path = IdentityFilePath(dir.path());
        // Two processes starting at once end with one identity.
        IdentityResult first, second;
        std::thread other([&] { second = LoadOrCreateIdentity(dir.path()); });
        first = LoadOrCreateIdentity(dir.path());
        other.join();
        QVERIFY2(first.identity && second.identity, qPrintable(first.error + second.error));
        QCOMPARE(first.identity->code, second.identity->code);
        QVERIFY(first.notice.isEmpty() && second.notice.isEmpty());
        QVERIFY(QRegularExpression("^[0-9A-F]{4}( [0-9A-F]{4}){9}$")
                    .match(first.identity->code)
                    .hasMatch());
        // The code is the SHA-256 of the SubjectPublicKeyInfo, as Qt writes the key too.
        const QByteArray spki = first.identity->Certificate().publicKey().toDer();
        QCOMPARE(
            QString(first.identity->code).remove(' ').toLatin1(),
            QCryptographicHash::hash(spki, QCryptographicHash::Sha256).toHex().toUpper().left(40));
        QCOMPARE(ModeOf(path), mode_t{0600});
        QCOMPARE(ModeOf(QFileInfo(path).path()), mode_t{0700});
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{"identity.pem"});

        // Read again, later, on a worker thread: the same code, back on this thread.
        ::chmod(QFile::encodeName(path).constData(), 0644);
        IdentityLoader loader;
        QSignalSpy loaded(&loader, &IdentityLoader::loaded);
        loader.Start(dir.path());
        QVERIFY(loaded.wait());
        QCOMPARE(loaded[0][0].value<IdentityResult>().identity->code, first.identity->code);
        QCOMPARE(ModeOf(path), mode_t{0600});
        QCOMPARE(first.identity->Certificate().subjectAlternativeNames().value(QSsl::DnsEntry),
                 QString(kSessionPeerName));
    }

    void damagedIdentityIsMovedAsideAndReplaced_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray("not a key\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("certificate of another key") << ann_.keyPem + bob_.certificatePem;
    }
    void damagedIdentityIsMovedAsideAndReplaced() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = IdentityFilePath(dir.path());
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();

        const IdentityResult result = LoadOrCreateIdentity(dir.path());
        QVERIFY(result.identity);
        const QStringList aside =
            QDir(QFileInfo(path).path()).entryList({"identity.pem.corrupt-*"});
        QCOMPARE(aside.size(), 1);
        QVERIFY(result.notice.contains(aside[0]));
        QFile kept(QFileInfo(path).path() + "/" + aside[0]);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
        QCOMPARE(LoadOrCreateIdentity(dir.path()).identity->code, result.identity->code);
    }

    void sessionCarriesTextsAndAcksWithBothCodes() {
        const Pair pair = Listening(limits_);
        QVERIFY(pair.ann->ListenError().isEmpty() && pair.bob->ListenError().isEmpty());
        QSignalSpy annUp(pair.ann.get(), &SessionManager::established);
        QSignalSpy bobUp(pair.bob.get(), &SessionManager::established);
        QSignalSpy bobTexts(pair.bob.get(), &SessionManager::textReceived);
        QSignalSpy annAcks(pair.ann.get(), &SessionManager::ackReceived);
        pair.ann->Open("127.0.0.2");
        pair.ann->Open("127.0.0.2");  // already on its way: nothing new
        QVERIFY(annUp.wait() && (bobUp.size() == 1 || bobUp.wait()));
        QCOMPARE(annUp.size(), 1);
        QCOMPARE(annUp[0][0].toString(), QString("127.0.0.2"));
        QCOMPARE(annUp[0][1].toString(), bob_.code);
        QCOMPARE(annUp[0][2].value<HelloMessage>(), kBob);
        QCOMPARE(bobUp[0][0].toString(), QString("127.0.0.1"));
        QCOMPARE(bobUp[0][1].toString(), ann_.code);
        QCOMPARE(bobUp[0][2].value<HelloMessage>(), kAnn);

        const QString id = NewTextId();
        QVERIFY(pair.ann->SendText("127.0.0.2", id, "Hello Bob\n✓"));
        QVERIFY(bobTexts.wait());
        QCOMPARE(bobTexts[0], (QList<QVariant>{"127.0.0.1", id, "Hello Bob\n✓"}));
        QVERIFY(pair.bob->SendAck("127.0.0.1", id));
        QVERIFY(annAcks.wait());
        QCOMPARE(annAcks[0], (QList<QVariant>{"127.0.0.2", id}));
        QVERIFY(!pair.ann->SendText("127.0.0.2", id, QString(kMaxTextBytes + 1, 'x')));
        QVERIFY(!pair.ann->SendText("127.0.0.9", id, "no session"));

        // Bulk frames of a kind Bob does not know are skipped; a text still passes them,
        // and Ann hears when she may write more.
        QSignalSpy writable(pair.ann.get(), &SessionManager::bulkWritable);
        const QByteArray chunk(60 * 1024, 'b');
        while (pair.ann->SendBulk("127.0.0.2", kFirstFileKind, chunk)) {
        }
        QVERIFY(pair.ann->SendText("127.0.0.2", id, "after bulk"));
        QVERIFY(bobTexts.wait());
        QVERIFY(!writable.isEmpty() || writable.wait());
        QCOMPARE(bobTexts.last()[2].toString(), QString("after bulk"));
        QVERIFY(pair.ann->IsEstablished("127.0.0.2"));
    }

    void simultaneousOpensEndWithOneSession() {
        const Pair pair = Listening(limits_);
        QSignalSpy annUp(pair.ann.get(), &SessionManager::established);
        QSignalSpy bobUp(pair.bob.get(), &SessionManager::established);
        QSignalSpy closed(pair.ann.get(), &SessionManager::closed);
        QSignalSpy failed(pair.ann.get(), &SessionManager::failed);
        pair.ann->Open("127.0.0.2");
        pair.bob->Open("127.0.0.1");
        QTRY_VERIFY(pair.ann->IsEstablished("127.0.0.2") && pair.bob->IsEstablished("127.0.0.1"));
        QVERIFY(pair.bob->SendText("127.0.0.1", NewTextId(), "crossed"));
        QSignalSpy annTexts(pair.ann.get(), &SessionManager::textReceived);
        QVERIFY(annTexts.wait());
        QTest::qWait(100);
        QVERIFY(annUp.size() == 1 && bobUp.size() == 1 && closed.isEmpty() && failed.isEmpty());
    }

    void hostileInputClosesTheSession() {
        SessionLimits small = limits_;
        small.maxFramePayload = 1024;
        small.maxHandshakes = 2;
        const Pair pair = Listening(small);
        QVERIFY(pair.ann->ListenError().isEmpty() && pair.bob->ListenError().isEmpty());
        QSignalSpy annUp(pair.ann.get(), &SessionManager::established);
        QSignalSpy annClosed(pair.ann.get(), &SessionManager::closed);
        QSignalSpy bobClosed(pair.bob.get(), &SessionManager::closed);
        QSignalSpy bobErrors(pair.bob.get(), &SessionManager::protocolError);
        pair.ann->Open("127.0.0.2");
        QVERIFY(annUp.wait());
        // A text over Bob's frame limit ends the session on both sides.
        QVERIFY(pair.ann->SendText("127.0.0.2", NewTextId(), QString(2000, 'x')));
        QVERIFY(annClosed.wait());
        QCOMPARE(annClosed[0][1].toInt(), static_cast<int>(CloseCode::TooLarge));
        QVERIFY(bobClosed.size() == 1 && bobErrors.size() == 1);
        QVERIFY(!pair.bob->IsEstablished("127.0.0.1"));

        // Plain TCP clients that never start TLS, from three addresses: two are given the
        // handshake time, the third is closed at once. (A second one from the same address
        // would take the place of the first.)
        QList<QTcpSocket*> silent;
        for (int i = 0; i < 3; ++i) {
            silent << new QTcpSocket(this);
            QVERIFY(silent.last()->bind(QHostAddress(0x7f00000a + static_cast<quint32>(i))));
            silent.last()->connectToHost("127.0.0.2", pair.bob->Port());
            QVERIFY(silent.last()->waitForConnected(1000));
            QTest::qWait(50);
        }
        QTRY_COMPARE(silent[2]->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(silent[0]->state(), QAbstractSocket::ConnectedState);  // not yet timed out
        QTRY_COMPARE(silent[0]->state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(bobErrors.size(), 4);
        qDeleteAll(silent);
    }

    void failedOpensSayWhy() {
        // Nothing listens.
        const auto refused = Opener(1);
        QSignalSpy refusedSpy(refused.get(), &SessionManager::failed);
        refused->Open("127.0.0.3");
        QVERIFY(refusedSpy.wait());
        QCOMPARE(refusedSpy[0][1].value<OpenFailure>(), OpenFailure::Refused);

        // A listener that accepts and never speaks TLS.
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress("127.0.0.3")));
        const auto noTls = Opener(mute.serverPort());
        QSignalSpy noTlsSpy(noTls.get(), &SessionManager::failed);
        noTls->Open("127.0.0.3");
        QVERIFY(noTlsSpy.wait());
        QCOMPARE(noTlsSpy[0][1].value<OpenFailure>(), OpenFailure::NotASessionPeer);

        // A listener whose queue is full drops the connection attempt: no answer.
        const int full = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7f000004);
        QVERIFY(::bind(full, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(full, 0) == 0);
        socklen_t size = sizeof address;
        ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &size);
        QTcpSocket fillers[2];
        for (QTcpSocket& filler : fillers) {
            filler.connectToHost("127.0.0.4", ntohs(address.sin_port));
        }
        QTest::qWait(100);
        const auto dropped = Opener(ntohs(address.sin_port));
        QSignalSpy droppedSpy(dropped.get(), &SessionManager::failed);
        dropped->Open("127.0.0.4");
        QVERIFY(droppedSpy.wait());
        QCOMPARE(droppedSpy[0][1].value<OpenFailure>(), OpenFailure::NoAnswer);
        ::close(full);
    }

    // A copy listens from the moment it announces itself, before its identity is loaded and
    // its manager made: a session opened meanwhile waits in the queue.
    void sessionsOpenedBeforeTheManagerWaitForIt() {
        const qintptr reserved = SessionManager::ReserveListener(0);
        sockaddr_in address{};
        socklen_t size = sizeof address;
        QVERIFY(::getsockname(static_cast<int>(reserved), reinterpret_cast<sockaddr*>(&address),
                              &size) == 0);
        const auto opener = Opener(ntohs(address.sin_port));
        QSignalSpy established(opener.get(), &SessionManager::established);
        opener->Open("127.0.0.1");
        QTest::qWait(100);
        SessionManager late(bob_, kBob, limits_);
        QVERIFY(late.Listen(QHostAddress::AnyIPv4, reserved));
        QVERIFY(established.wait());
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "test_session.moc"

// File transfer: safe names and resume decisions as rows, and real transfers between two
// session managers on 127.0.0.1 and 127.0.0.2 into temporary folders, with a hostile sender
// that writes its frames by hand.
#include <sys/mount.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include "session/file_frames.h"
#include "session/file_journal.h"
#include "session/file_names.h"
#include "session/file_resume.h"
#include "session/file_transfer_engine.h"
#include "session/file_transfers.h"
#include "session/session_manager.h"

using namespace tollix;

namespace {

const QString kAnn = "127.0.0.1";
const QString kBob = "127.0.0.2";

QByteArray Sha(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray Random(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(QRandomGenerator::global()->generate());
    }
    return bytes;
}

// JSON written with single quotes, for readability.
QByteArray Json(const char* text) {
    return QByteArray(text).replace('\'', '"');
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// A copy: its session manager and its file engine, with its journal in its own folder.
struct Peer {
    std::unique_ptr<SessionManager> sessions;
    std::unique_ptr<FileTransferEngine> files;
    std::unique_ptr<QSignalSpy> finished;
    std::unique_ptr<QSignalSpy> offers;

    Peer(const Identity& identity, const QString& address, SessionLimits limits,
         const QString& journal) {
        sessions = std::make_unique<SessionManager>(identity, HelloMessage{}, limits);
        sessions->Listen(QHostAddress(address));
        FileTransferLimits fileLimits;
        fileLimits.stallTimeoutMs = 2000;
        // Little room on the way to the disk, so that sessions pause and resume often.
        fileLimits.maxUnwrittenBytes = 256 * 1024;
        files = std::make_unique<FileTransferEngine>(sessions.get(), journal, fileLimits);
        finished = std::make_unique<QSignalSpy>(files.get(), &FileTransferEngine::finished);
        offers = std::make_unique<QSignalSpy>(files.get(), &FileTransferEngine::offerReceived);
    }

    // How the transfer ended, once it has.
    FileFailure Outcome(const QString& id) {
        for (int waited = 0; waited < 100; ++waited) {
            for (const QList<QVariant>& end : std::as_const(*finished)) {
                if (end[0].toString() == id) {
                    return end[1].value<FileFailure>();
                }
            }
            finished->wait(100);
        }
        return FileFailure::Other;
    }
    // The next offer to come.
    QString NextOfferId() {
        return offers->wait() ? offers->last()[0].value<IncomingOffer>().id : QString();
    }
    // A file frame written by hand.
    void Raw(FileKind kind, const QByteArray& payload) {
        QVERIFY(sessions->SendFileControl(kBob, static_cast<std::uint8_t>(kind), payload));
    }
};

}  // namespace

class FileTransferEngineTest : public QObject {
    Q_OBJECT

private slots:
    void safeNames_data() {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("safe");
        const QString euro(1, QChar(0x20ac));
        QTest::newRow("plain") << "report.pdf"
                               << "report.pdf";
        QTest::newRow("climbs out") << "../../x"
                                    << ".._.._x";
        QTest::newRow("absolute, backslashes") << "/etc\\passwd"
                                               << "_etc_passwd";
        QTest::newRow("control characters") << "a\tb\nc\x7f"
                                            << "a_b_c_";
        QTest::newRow("right-to-left override")
            << QString("invoice\u202Etxt.exe") << "invoice_txt.exe";
        QTest::newRow("spaces at the ends") << "  notes.txt "
                                            << "notes.txt";
        QTest::newRow("empty") << ""
                               << "file";
        QTest::newRow("dot") << "."
                             << "file";
        QTest::newRow("dots") << "..."
                              << "file";
        QTest::newRow("hidden file kept") << ".bashrc"
                                          << ".bashrc";
        QTest::newRow("long, extension kept")
            << QString(300, 'a') + ".pdf" << QString(kMaxSafeNameBytes - 4, 'a') + ".pdf";
        QTest::newRow("long, cut at a character")
            << euro.repeated(100) << euro.repeated(kMaxSafeNameBytes / 3);
        QTest::newRow("long dots") << QString(300, '.') << "file";
    }
    void safeNames() {
        QFETCH(QString, offered);
        QFETCH(QString, safe);
        QCOMPARE(SafeFileName(offered), safe);
        QVERIFY(SafeFileName(offered).toUtf8().size() <= kMaxSafeNameBytes);
    }

    void numberedNames() {
        QCOMPARE(NumberedName("report.pdf", 0), QString("report.pdf"));
        QCOMPARE(NumberedName("report.pdf", 1), QString("report (1).pdf"));
        QCOMPARE(NumberedName("archive.tar.gz", 2), QString("archive.tar (2).gz"));
        QCOMPARE(NumberedName(".bashrc", 1), QString(".bashrc (1)"));
    }

    // The receiver's offsets: rows of (held, first, offset, length, size) and the verdict.
    void resumeDecisions_data() {
        QTest::addColumn<qint64>("held");
        QTest::addColumn<bool>("first");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<int>("verdict");
        const auto append = static_cast<int>(DataVerdict::Append);
        const auto over = static_cast<int>(DataVerdict::StartOver);
        const auto many = static_cast<int>(DataVerdict::TooManyBytes);
        const auto order = static_cast<int>(DataVerdict::OutOfOrder);
        QTest::newRow("new file") << 0LL << true << 0LL << 10LL << append;
        QTest::newRow("resumed where it stopped") << 40LL << true << 40LL << 10LL << append;
        QTest::newRow("sender starts over") << 40LL << true << 0LL << 10LL << over;
        QTest::newRow("start over only at first") << 40LL << false << 0LL << 10LL << order;
        QTest::newRow("a gap") << 40LL << false << 50LL << 10LL << order;
        QTest::newRow("overlap") << 40LL << false << 30LL << 10LL << order;
        QTest::newRow("up to the size") << 90LL << false << 90LL << 10LL << append;
        QTest::newRow("a byte too many") << 90LL << false << 90LL << 11LL << many;
        QTest::newRow("over 4 GiB") << (5LL << 30) << false << (5LL << 30) << 10LL << append;
    }
    void resumeDecisions() {
        QFETCH(qint64, held);
        QFETCH(bool, first);
        QFETCH(qint64, offset);
        QFETCH(qint64, length);
        QFETCH(int, verdict);
        const qint64 size = held > 100 ? held + 100 : 100;
        QCOMPARE(static_cast<int>(JudgeData(held, first, offset, length, size)), verdict);
    }

    // The sender's side, and the receiver's .part longer than the file.
    void senderStart_data() {
        QTest::addColumn<qint64>("asked");
        QTest::addColumn<bool>("sameHash");
        QTest::addColumn<qint64>("start");
        QTest::newRow("nothing held") << 0LL << false << 0LL;
        QTest::newRow("prefix matches") << 40LL << true << 40LL;
        QTest::newRow("prefix differs") << 40LL << false << 0LL;
        QTest::newRow("all of it held") << 100LL << true << 100LL;
        QTest::newRow("past the end") << 101LL << true << -1LL;
    }
    void senderStart() {
        QFETCH(qint64, asked);
        QFETCH(bool, sameHash);
        QFETCH(qint64, start);
        const QByteArray ours = Sha("prefix");
        QCOMPARE(SenderStart(asked, sameHash ? ours : Sha("other"), ours, 100), start);
        QCOMPARE(HeldPrefix(asked, 100), asked > 100 ? 0 : asked);
    }

    void transfersBetweenTwoCopies() {
        QTemporaryDir dir;
        const QString outbox = dir.filePath("outbox"), inbox = dir.filePath("inbox");
        QVERIFY(QDir().mkpath(outbox) && QDir().mkpath(inbox + "/sub"));
        SessionLimits limits;
        limits.port = 0;
        const Identity annId = *MakeIdentity(), bobId = *MakeIdentity();
        Peer ann(annId, kAnn, limits, dir.filePath("ann/journal.json"));
        limits.port = ann.sessions->Port();
        // An old .part that the journal knows goes at start; one it does not know stays.
        const QString journal = FileJournalPath(dir.filePath("bob"));
        QVERIFY(QDir().mkpath(QFileInfo(journal).path()) &&
                Write(journal, Json("[{'code':'C','name':'old','size':9,'folder':'%1',"
                                    "'part':'old.part'}]")
                                   .replace("%1", inbox.toUtf8())));
        for (const char* name : {"/old.part", "/stranger.part"}) {
            QFile part(inbox + name);
            QVERIFY(part.open(QIODevice::WriteOnly) && part.write("12345") == 5 && part.flush());
            part.setFileTime(QDateTime::currentDateTime().addDays(-8),
                             QFileDevice::FileModificationTime);
        }
        Peer bob(bobId, kBob, limits, journal);
        QTRY_VERIFY(!QFileInfo::exists(inbox + "/old.part"));
        QVERIFY(QFile::remove(inbox + "/stranger.part"));

        // Three files, one empty; a name already taken gets a free one.
        const QByteArray big = Random(12 * 1024 * 1024 + 5), small = "small";
        QVERIFY(Write(outbox + "/big.bin", big) && Write(outbox + "/empty", {}) &&
                Write(outbox + "/small.txt", small) && Write(inbox + "/small.txt", "taken"));
        QSignalSpy done(bob.files.get(), &FileTransferEngine::fileDone);
        const QString first =
            ann.files->Offer(kBob, {outbox + "/big.bin", outbox + "/empty", outbox + "/small.txt"});
        QCOMPARE(bob.NextOfferId(), first);
        QCOMPARE(bob.offers->last()[0].value<IncomingOffer>().files[0].size, big.size());
        QVERIFY(bob.files->Accept(first, inbox));
        QCOMPARE(bob.Outcome(first), FileFailure::None);
        QCOMPARE(ann.Outcome(first), FileFailure::None);
        QCOMPARE(Read(inbox + "/big.bin"), big);
        QCOMPARE(Read(inbox + "/empty"), QByteArray());
        QCOMPARE(Read(inbox + "/small (1).txt"), small);
        QCOMPARE(done[0][3].toString(), QString(Sha(big).toHex()));
        QCOMPARE(QDir(inbox).entryList(QDir::Files).size(), 4);  // no .part left

        // Broken after its first megabyte: the .part stays, and the next offer carries
        // only the rest.
        QVERIFY(Write(outbox + "/resume.bin", big));
        qint64 carried = 0;
        bool broke = false;
        QObject::connect(bob.sessions.get(), &SessionManager::fileFrameReceived,
                         [&](const QString&, std::uint8_t kind, const QByteArray& payload) {
                             if (kind != static_cast<std::uint8_t>(FileKind::Data)) {
                                 return;
                             }
                             carried += payload.size() - kFileDataHeaderBytes;
                             if (carried >= 1024 * 1024 && !broke) {
                                 broke = true;
                                 bob.sessions->Close(kAnn);
                             }
                         });
        const QString broken = ann.files->Offer(kBob, {outbox + "/resume.bin"});
        QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
        QCOMPARE(bob.Outcome(broken), FileFailure::ConnectionLost);
        QCOMPARE(ann.Outcome(broken), FileFailure::ConnectionLost);
        QVERIFY(QFileInfo::exists(inbox + "/resume.bin.part"));
        QSignalSpy progress(bob.files.get(), &FileTransferEngine::progress);
        carried = 0;
        const QString again = ann.files->Offer(kBob, {outbox + "/resume.bin"});
        QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
        QVERIFY(progress.wait());
        const qint64 held = progress[0][1].toLongLong();  // what the .part held
        QCOMPARE(bob.Outcome(again), FileFailure::None);
        QVERIFY(held >= 1024 * 1024);
        QCOMPARE(carried, big.size() - held);
        QCOMPARE(Read(inbox + "/resume.bin"), big);

        // Broken again; the file has changed since: its .part does not match and it starts
        // over.
        broke = false;
        const QString changing = ann.files->Offer(kBob, {outbox + "/resume.bin"});
        QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
        QCOMPARE(bob.Outcome(changing), FileFailure::ConnectionLost);
        const QByteArray changed = "changed" + big.mid(7);
        QVERIFY(Write(outbox + "/resume.bin", changed));
        carried = 0;
        const QString over = ann.files->Offer(kBob, {outbox + "/resume.bin"});
        QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
        QCOMPARE(bob.Outcome(over), FileFailure::None);
        QCOMPARE(carried, big.size());
        QCOMPARE(Read(inbox + "/resume (1).bin"), changed);

        // Cancelled by the sender while the receiver prepares: both stop, and once the
        // receiver says so, the .part it made (or was about to make) is gone. Again and again,
        // since the worker may not have begun preparing when the cancel comes.
        for (int round = 0; round < 10; ++round) {
            const QString cancelled = ann.files->Offer(kBob, {outbox + "/small.txt"});
            QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
            QVERIFY(ann.files->Cancel(cancelled));
            QCOMPARE(ann.Outcome(cancelled), FileFailure::Cancelled);
            QCOMPARE(bob.Outcome(cancelled), FileFailure::Cancelled);
            QCOMPARE(QDir(inbox).entryList({"*.part"}, QDir::Files), QStringList());
        }

        // A full disk (a small file system of its own, for root): the transfer fails and
        // what was written stays for a resume.
        const QString tiny = dir.filePath("tiny");
        QVERIFY(QDir().mkpath(tiny));
        if (::geteuid() == 0 &&
            ::mount("tmpfs", QFile::encodeName(tiny).constData(), "tmpfs", 0, "size=1m") == 0) {
            const QString full = ann.files->Offer(kBob, {outbox + "/big.bin"});
            QVERIFY(bob.files->Accept(bob.NextOfferId(), tiny));
            QCOMPARE(bob.Outcome(full), FileFailure::DiskFull);
            QCOMPARE(ann.Outcome(full), FileFailure::DiskFull);
            QCOMPARE(ann.finished->last()[2].toString(),
                     QString("the other side: the disk is full"));
            QTRY_VERIFY(QFileInfo(tiny + "/big.bin.part").size() > 0);
            ::umount2(QFile::encodeName(tiny).constData(), MNT_DETACH);
        }

        // A hostile sender: a name that climbs out lands inside; a .part name taken by a
        // symbolic link is not followed; too many bytes and a wrong hash remove their .part.
        QVERIFY(QFile::link(dir.filePath("outside"), inbox + "/sub/y.part"));
        const QByteArray id = NewTextId().toLatin1();
        ann.Raw(FileKind::Offer, "{\"offer\":\"" + id +
                                     "\",\"files\":[{\"name\":\"../../x\",\"size\":3},"
                                     "{\"name\":\"y\",\"size\":3},{\"name\":\"z\",\"size\":2}]}");
        QCOMPARE(bob.NextOfferId(), QString(id));
        QSignalSpy accepted(bob.files.get(), &FileTransferEngine::progress);
        QVERIFY(bob.files->Accept(id, inbox + "/sub"));
        QVERIFY(accepted.wait());  // its .parts are made and ACCEPT is sent
        const auto data = [&](int file, const QByteArray& bytes) {
            ann.Raw(FileKind::Data, FileDataHeader(id, file, 0) + bytes);
        };
        const auto end = [&](int file, const QByteArray& bytes) {
            ann.Raw(FileKind::End, Encode(FileEndMessage{id, file, Sha(bytes)}).payload);
        };
        data(0, "abc");
        end(0, "abc");
        data(1, "abcd");
        data(2, "ab");
        end(2, "xy");
        QCOMPARE(bob.Outcome(id), FileFailure::TooManyBytes);
        QCOMPARE(Read(inbox + "/sub/.._.._x"), QByteArray("abc"));
        QCOMPARE(QDir(inbox + "/sub").entryList(QDir::Files | QDir::System | QDir::Hidden),
                 (QStringList{".._.._x", "y.part"}));
        QVERIFY(!QFileInfo::exists(dir.filePath("outside")) &&
                !QFileInfo::exists(dir.filePath("x")));

        // More offers than may wait: the oldest is declined by itself; a declined one.
        QStringList waiting;
        for (int i = 0; i < 17; ++i) {
            waiting << NewTextId();
            ann.Raw(FileKind::Offer, Encode(FileOfferMessage{waiting.last(), {{"f", 1}}}).payload);
        }
        QCOMPARE(bob.Outcome(waiting[0]), FileFailure::TooManyOffers);
        // One accepted and never sent: stalled.
        QVERIFY(bob.files->Accept(waiting.last(), inbox));
        QCOMPARE(bob.Outcome(waiting.last()), FileFailure::Stalled);
        // Broken, then offered again and declined: its .part goes with it.
        broke = false;
        carried = 0;
        const QString unwanted = ann.files->Offer(kBob, {outbox + "/big.bin"});
        QVERIFY(bob.files->Accept(bob.NextOfferId(), inbox));
        QCOMPARE(bob.Outcome(unwanted), FileFailure::ConnectionLost);
        QVERIFY(QFileInfo::exists(inbox + "/big (1).bin.part"));
        const QString declined = ann.files->Offer(kBob, {outbox + "/big.bin"});
        QCOMPARE(bob.NextOfferId(), declined);
        QVERIFY(bob.files->Decline(declined));
        QCOMPARE(ann.Outcome(declined), FileFailure::Declined);
        QTRY_VERIFY(!QFileInfo::exists(inbox + "/big (1).bin.part"));

        // A receiver that quits before any data came leaves no .part behind, nor its record.
        Peer carl(bobId, "127.0.0.5", limits, dir.filePath("carl/journal.json"));
        const QString quitting = ann.files->Offer("127.0.0.5", {outbox + "/small.txt"});
        QSignalSpy carlAccepted(carl.files.get(), &FileTransferEngine::progress);
        QVERIFY(carl.files->Accept(carl.NextOfferId(), outbox));
        QVERIFY(carlAccepted.wait());
        carl.files.reset();
        QCOMPARE(ann.Outcome(quitting), FileFailure::ShuttingDown);
        QCOMPARE(QDir(outbox).entryList({"*.part"}, QDir::Files), QStringList());
        QCOMPARE(Read(dir.filePath("carl/journal.json")), QByteArray("[]"));

        // Offers made while this copy's sessions are starting wait for them, or for a cancel.
        SessionManager early(annId, HelloMessage{}, limits);
        QVERIFY(early.Listen(QHostAddress("127.0.0.6")));
        FileTransfers starting;
        starting.SetStarting(true);
        QSignalSpy ends(&starting, &FileTransfers::finished);
        const QString waited = starting.Offer(kBob, {outbox + "/small.txt"});
        QVERIFY(starting.Cancel(starting.Offer(kBob, {outbox + "/small.txt"})));
        QVERIFY(ends.wait());
        starting.Attach(early, {});
        QCOMPARE(bob.NextOfferId(), waited);
        QVERIFY(bob.files->Decline(waited));
        QTRY_COMPARE(ends.size(), 2);
        starting.Detach();
        QCOMPARE(ends[0][1].value<FileFailure>(), FileFailure::Cancelled);
        QCOMPARE(ends[1][1].value<FileFailure>(), FileFailure::Declined);

        // Why no session can carry files: a program of version 1, nobody listening.
        limits.version = 1;
        Peer old(bobId, "127.0.0.3", limits, {});
        QCOMPARE(ann.Outcome(ann.files->Offer("127.0.0.3", {outbox + "/small.txt"})),
                 FileFailure::CannotReceiveFiles);
        QCOMPARE(ann.Outcome(ann.files->Offer("127.0.0.4", {outbox + "/small.txt"})),
                 FileFailure::Refused);
        QCOMPARE(FileFailureText(FileFailure::NoAnswer),
                 QString("no answer (a firewall may block TCP port 2030)"));
    }
};

QTEST_GUILESS_MAIN(FileTransferEngineTest)
#include "test_file_transfer_engine.moc"

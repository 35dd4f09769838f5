// The history store on real SQLite files in a temporary folder: texts stored before they
// are handed back, paging, search, unread marks, retention, a file of the first version,
// a busy file, the daily room for strangers' texts, one writer per file, replaced,
// damaged, read-only, full and newer files; the pins and waiting texts of private
// conversations. As root the read-only and full disks are
// real tmpfs mounts in a mount namespace of this process.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "history/history_files.h"
#include "history/history_private_store.h"
#include "history/history_store.h"

using namespace tollix;

namespace {

const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);

HistoryEntry Text(const QString& address, const QString& text, bool unread = false) {
    return {0, kNow, false, address, "Bob", "Brown", "Ops", text, unread};
}

// Stores the texts in one transaction and returns the ids that were handed back.
QList<qint64> Store(HistoryStore& store, const QList<HistoryEntry>& entries) {
    QList<qint64> ids;
    for (const HistoryEntry& entry : entries) {
        store.Add(entry, nullptr, [&ids](const HistoryEntry& stored) { ids << stored.id; });
    }
    store.Flush();
    return ids;
}

QStringList Texts(const QList<HistoryEntry>& entries) {
    QStringList texts;
    for (const HistoryEntry& entry : entries) {
        texts << entry.text;
    }
    return texts;
}

// A connection of its own, as another process would have.
struct OtherConnection {
    explicit OtherConnection(const QString& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase("other"); }
    QVariant Value(const QString& sql) const {
        QSqlQuery query(QSqlDatabase::database("other"));
        query.exec(sql);
        return query.next() ? query.value(0) : QVariant();
    }
};

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadUser | QFileDevice::WriteUser;

}  // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString Data() const { return dir_->path() + "/data"; }
    QString File() const { return Data() + "/Quardell/Tollix/history.sqlite"; }

    // The store reports faults at the next turn of the event loop.
    static QStringList Faults(HistoryStore& store, const std::function<void()>& action) {
        QSignalSpy spy(&store, &HistoryStore::fault);
        action();
        QTest::qWait(20);
        QStringList faults;
        for (const QList<QVariant>& arguments : spy) {
            faults << arguments[0].toString();
        }
        return faults;
    }

    // A tmpfs of this process's own over the data folder.
    bool MountDisk(const QString& options) {
        QDir().mkpath(Data());
        return ::mount("tmpfs", QFile::encodeName(Data()).constData(), "tmpfs", 0,
                       options.toLatin1().constData()) == 0;
    }

private slots:
    void initTestCase() {
        // Mounts made here stay inside this process.
        if (::geteuid() == 0) {
            QVERIFY(::unshare(CLONE_NEWNS) == 0);
            QVERIFY(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0);
        }
    }
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() {
        ::umount2(QFile::encodeName(Data()).constData(), MNT_DETACH);
        dir_.reset();
    }

    void fileIsPrivateAndTextsAreOnDiskBeforeTheyAreHandedBack() {
        HistoryStore store(Data());
        QCOMPARE(store.FilePath(), File());
        QVERIFY(store.Open());
        const HistoryEntry sent{0, kNow, true, "10.0.0.9", " Ann", "", "", "Hi\nthere ✓"};
        HistoryEntry unnamed = Text("10.0.0.9", "no names");
        unnamed.firstName = unnamed.lastName = unnamed.groupName = QString();
        unnamed.time = QDateTime();

        QList<HistoryEntry> shown;
        QVariant storedWhenShown;
        std::function<void(const HistoryEntry&)> show = [&](const HistoryEntry& entry) {
            shown << entry;
            if (shown.size() == 1) {
                storedWhenShown = OtherConnection(File()).Value("SELECT COUNT(*) FROM entries");
                // A modal box: a text stored in its event loop still comes after the others.
                store.Add(Text("10.0.0.9", "during a box"), nullptr, show);
                QTest::qWait(10);
            }
        };
        store.Add(sent, nullptr, show);
        auto* closedWindow = new QObject;
        store.Add(Text("10.0.0.9", "for a closed window"), closedWindow, show);
        store.Add(unnamed, &store, show);
        delete closedWindow;
        QVERIFY(shown.isEmpty());
        QTRY_COMPARE(shown.size(), 3);

        // One transaction for the texts of one turn, committed before the first is shown.
        QCOMPARE(storedWhenShown, QVariant(3));
        QCOMPARE(Texts(shown), QStringList({"Hi\nthere ✓", "no names", "during a box"}));
        QVERIFY(shown[0].id > 0 && shown[1].id > shown[0].id && shown[2].id > shown[1].id);
        QVERIFY(shown[1].time.isValid());
        const QList<HistoryEntry> stored = store.Last("10.0.0.9", 3, shown[2].id);
        QCOMPARE(Texts(stored), QStringList({"Hi\nthere ✓", "for a closed window", "no names"}));
        const HistoryEntry& first = stored[0];
        QCOMPARE(first.id, shown[0].id);
        QCOMPARE(first.time, kNow);
        QCOMPARE(first.time.timeSpec(), Qt::UTC);
        QVERIFY(first.outgoing && !stored[1].outgoing);
        QCOMPARE(first.firstName + "|" + first.lastName + "|" + first.groupName, " Ann||");

        // While the store is open, the WAL is copied into the file beyond its first page.
        QTRY_VERIFY(QFileInfo(File()).size() > 4096);
        QCOMPARE(QFile::permissions(File()), kOwnerOnly);
        QCOMPARE(QFile::permissions(File() + "-wal"), kOwnerOnly);
        QCOMPARE(QFile::permissions(Data() + "/Quardell/Tollix"),
                 kOwnerOnly | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        QCOMPARE(OtherConnection(File()).Value("PRAGMA journal_mode"), QVariant("wal"));
    }

    void pagesGoBackThroughOneContact() {
        HistoryStore store(Data());
        QVERIFY(store.Open());
        QList<HistoryEntry> entries;
        for (int i = 1; i <= 5; ++i) {
            entries << Text("10.0.0.1", QString::number(i)) << Text("10.0.0.2", "other");
        }
        Store(store, entries);
        const QList<HistoryEntry> last = store.Last("10.0.0.1", 2);
        QCOMPARE(Texts(last), QStringList({"4", "5"}));
        const QList<HistoryEntry> before = store.Last("10.0.0.1", 2, last[0].id);
        QCOMPARE(Texts(before), QStringList({"2", "3"}));
        QCOMPARE(Texts(store.Last("10.0.0.1", 9, before[0].id)), QStringList({"1"}));
        QCOMPARE(Texts(store.Range("10.0.0.1", before[0].id, last[1].id)),
                 QStringList({"2", "3", "4"}));
    }

    void searchFindsWordsOfOneContact_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("found");
        QTest::newRow("any case") << "HELLO" << QList<int>{0, 2};
        QTest::newRow("start of a word") << "hel" << QList<int>{0, 2};
        QTest::newRow("every word needed") << "hello world" << QList<int>{2};
        QTest::newRow("accents ignored") << "cafe" << QList<int>{1};
        QTest::newRow("operator words are words") << "NOT" << QList<int>{3};
        QTest::newRow("syntax characters literal") << "\"now* (AND" << QList<int>{3};
        QTest::newRow("punctuation separates") << "bob@example" << QList<int>{4};
        QTest::newRow("no word") << " -- " << QList<int>{};
        QTest::newRow("other contact's words") << "from" << QList<int>{};
    }
    void searchFindsWordsOfOneContact() {
        QFETCH(QString, typed);
        QFETCH(QList<int>, found);
        HistoryStore store(Data());
        QVERIFY(store.Open());
        const QList<qint64> ids = Store(
            store, {Text("10.0.0.1", "Hello Bob, see you at 3"), Text("10.0.0.1", "Café au lait?"),
                    Text("10.0.0.1", "hello\nworld"), Text("10.0.0.1", "NOT now AND never"),
                    Text("10.0.0.1", "mail bob@example.org"), Text("10.0.0.2", "hello from B")});
        QList<qint64> expected;
        for (int index : found) {
            expected << ids[index];
        }
        QCOMPARE(store.Search("10.0.0.1", typed), expected);
    }

    void unreadMarksSurviveARestart() {
        {
            HistoryStore store(Data());
            QVERIFY(store.Open());
            Store(store, {Text("10.0.0.1", "a", true), Text("10.0.0.1", "b", true),
                          Text("10.0.0.1", "read"), Text("10.0.0.2", "c", true)});
        }
        HistoryStore store(Data());
        QVERIFY(store.Open());
        QCOMPARE(store.UnreadCounts().value(),
                 (QHash<QString, int>{{"10.0.0.1", 2}, {"10.0.0.2", 1}}));
        store.ClearUnread("10.0.0.1");
        QCOMPARE(store.UnreadCounts().value(), (QHash<QString, int>{{"10.0.0.2", 1}}));
        QVERIFY(store.Last("10.0.0.2", 1)[0].unread);
    }

    void retentionAndClearingDeleteTextsAndTheirWords() {
        HistoryStore store(Data());
        QVERIFY(store.Open());
        QList<HistoryEntry> entries(2500, Text("10.0.0.1", "ancient"));
        for (HistoryEntry& entry : entries) {
            entry.time = kNow.addDays(-31);
        }
        entries << Text("10.0.0.1", "recent", true) << Text("10.0.0.2", "recent");
        const qint64 lastId = Store(store, entries).last();

        store.ApplyRetention(0, kNow);
        QVERIFY(!store.IsApplyingRetention());
        store.ApplyRetention(30, kNow);
        QVERIFY(store.IsApplyingRetention());
        QTRY_VERIFY(!store.IsApplyingRetention());
        QCOMPARE(Texts(store.Last("10.0.0.1", 5000)), QStringList({"recent"}));
        QVERIFY(store.Search("10.0.0.1", "ancient").isEmpty());

        QVERIFY(store.ClearAll());
        QVERIFY(store.Last("10.0.0.2", 10).isEmpty());
        QVERIFY(store.Search("10.0.0.1", "recent").isEmpty());
        QVERIFY(store.UnreadCounts().value().isEmpty());
        const qint64 afterClearing = Store(store, {Text("10.0.0.1", "recent")}).first();
        QVERIFY(afterClearing > lastId);
        QCOMPARE(store.Search("10.0.0.1", "recent"), QList<qint64>{afterClearing});
    }

    void aFileOfTheFirstVersionIsMigrated() {
        QDir().mkpath(QFileInfo(File()).path());
        {
            OtherConnection first(File());
            QSqlQuery query(QSqlDatabase::database("other"));
            for (const char* sql :
                 {"CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, time_ms "
                  "INTEGER NOT NULL, outgoing INTEGER NOT NULL, address TEXT NOT NULL, "
                  "first_name TEXT NOT NULL, last_name TEXT NOT NULL, group_name TEXT NOT "
                  "NULL, text TEXT NOT NULL)",
                  "CREATE INDEX entries_by_contact ON entries(address, id)",
                  "CREATE INDEX entries_by_time ON entries(time_ms)",
                  "CREATE VIRTUAL TABLE entries_text USING fts5(text, content='entries', "
                  "content_rowid='id', tokenize='unicode61 remove_diacritics 2')",
                  "CREATE TRIGGER entries_text_insert AFTER INSERT ON entries BEGIN INSERT "
                  "INTO entries_text(rowid, text) VALUES (new.id, new.text); END",
                  "CREATE TRIGGER entries_text_delete AFTER DELETE ON entries BEGIN INSERT "
                  "INTO entries_text(entries_text, rowid, text) VALUES ('delete', old.id, "
                  "old.text); END",
                  "INSERT INTO entries VALUES (7, 1700000000123, 0, '10.0.0.1', 'Bob', "
                  "'Brown', 'Ops', 'kept from before')",
                  "PRAGMA user_version = 1"}) {
                QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
            }
        }
        HistoryStore store(Data());
        QVERIFY(store.Open());
        QCOMPARE(OtherConnection(File()).Value("PRAGMA user_version"), QVariant(4));
        const QList<HistoryEntry> kept = store.Last("10.0.0.1", 10);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].id, 7);
        QCOMPARE(kept[0].time, kNow);
        QVERIFY(!kept[0].unread);
        QCOMPARE(store.Search("10.0.0.1", "before"), QList<qint64>{7});
        Store(store, {Text("10.0.0.1", "new", true)});
        QCOMPARE(store.UnreadCounts()->value("10.0.0.1"), 1);
    }

    // Pins and waiting texts of private conversations, and the marks of private texts,
    // over a restart: kept while the file is written, and written when it is opened again
    // after "Keep history" was off.
    void privateConversationsOutliveTheProgram_data() {
        QTest::addColumn<bool>("closedMeanwhile");
        QTest::newRow("written at once") << false;
        QTest::newRow("written once opened again") << true;
    }
    void privateConversationsOutliveTheProgram() {
        QFETCH(bool, closedMeanwhile);
        const auto mine = [](const QString& text, const QString& id, Delivery delivery) {
            HistoryEntry entry = Text("10.0.0.1", text);
            entry.outgoing = true;
            entry.privacy = Privacy::Private;
            entry.delivery = delivery;
            entry.textId = id;
            return entry;
        };
        {
            HistoryStore store(Data());
            QVERIFY(store.Open());
            HistoryPrivateStore kept(store);
            kept.Sync();
            QVERIFY(kept.Loaded());
            Store(store, {mine("delivered", "id1", Delivery::Sending),
                          mine("on its way", "id2", Delivery::Sending)});
            store.SetMark("id1", Privacy::Private, Delivery::Delivered);
            if (closedMeanwhile) {
                store.Close();
            }
            kept.SavePin({"10.0.0.1", "C1", "Bob", "Brown", "Ops", false, 5});
            kept.SavePin({"10.0.0.1", "C2", "Bob", "Brown", "Ops", true, 6});  // replaces it
            kept.AddWaiting({"id2", "10.0.0.1", "on its way", 7});
            kept.AddWaiting({"id3", "10.0.0.1", "then this", 8});
            kept.AddWaiting({"id4", "10.0.0.1", "cancelled", 9});
            kept.RemoveWaiting("id4");
            if (closedMeanwhile) {
                QVERIFY(store.Open());
                kept.Sync();
            }
        }
        HistoryStore store(Data());
        QVERIFY(store.Open());
        HistoryPrivateStore kept(store);
        kept.Sync();
        QCOMPARE(kept.FindPin("10.0.0.1"),
                 std::optional(PinnedCode{"10.0.0.1", "C2", "Bob", "Brown", "Ops", true, 6}));
        QCOMPARE(kept.WaitingFor("10.0.0.1"),
                 (std::vector<WaitingText>{{"id2", "10.0.0.1", "on its way", 7},
                                           {"id3", "10.0.0.1", "then this", 8}}));
        store.Flush();
        // What was on its way when the program ended waits now.
        const QList<HistoryEntry> entries = store.Last("10.0.0.1", 10);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].delivery, Delivery::Delivered);
        QCOMPARE(entries[1].delivery, Delivery::Waiting);
        QCOMPARE(entries[1].textId, "id2");
        QCOMPARE(entries[1].privacy, Privacy::Private);
    }

    void aDamagedFileIsMovedAsideForANewOne_data() {
        QTest::addColumn<bool>("noDatabase");
        QTest::newRow("no database at all") << true;
        QTest::newRow("pages damaged later") << false;
    }
    void aDamagedFileIsMovedAsideForANewOne() {
        QFETCH(bool, noDatabase);
        QDir().mkpath(QFileInfo(File()).path());
        if (!noDatabase) {
            HistoryStore store(Data());
            QVERIFY(store.Open());
            Store(store, QList<HistoryEntry>(3000, Text("10.0.0.1", "soon damaged")));
        }
        QFile file(File());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 from = noDatabase ? 0 : file.size() / 2;
        file.seek(from);
        file.write(QByteArray(noDatabase ? 50'000 : file.size() - from, '\x5a'));
        file.close();
        const QByteArray damaged = [&] {
            QFile copy(File());
            copy.open(QIODevice::ReadOnly);
            return copy.readAll();
        }();

        HistoryStore store(Data());
        QSignalSpy replaced(&store, &HistoryStore::replaced);
        const QStringList faults = Faults(store, [&] {
            store.Open();
            store.Last("10.0.0.1", 5000);
            store.Search("10.0.0.1", "soon");
        });
        QCOMPARE(faults.size(), 1);
        QCOMPARE(replaced.size(), 1);
        QVERIFY2(faults[0].contains("; the file was moved aside as history.sqlite.corrupt-"),
                 qPrintable(faults[0]));
        const QStringList aside =
            QDir(QFileInfo(File()).path()).entryList({"history.sqlite.corrupt-*"});
        QCOMPARE(aside.size(), 1);
        QFile moved(QFileInfo(File()).path() + "/" + aside[0]);
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), damaged);

        // The new history keeps texts from then on.
        QVERIFY(store.IsOpen());
        QVERIFY(Store(store, {Text("10.0.0.1", "new")})[0] > 0);
        QCOMPARE(Texts(store.Last("10.0.0.1", 10)), QStringList({"new"}));
    }

    // Another program's write transaction holds the file: texts are handed back unstored
    // while it lasts, stay queued and are stored once it ends, in order (storedLate); marks
    // cleared meanwhile count as cleared and stay so. No fault, the store stays open.
    void aBusyFileDelaysStoringOnly() {
        HistoryStore store(Data());
        QVERIFY(store.Open());
        Store(store, {Text("10.0.0.1", "before", true), Text("10.0.0.2", "seen", true)});
        OtherConnection other(File());
        other.Value("BEGIN IMMEDIATE");
        QList<qint64> ids;
        QList<qint64> late;
        connect(&store, &HistoryStore::storedLate, this,
                [&late](const HistoryEntry& entry) { late << entry.id; });
        const QStringList faults = Faults(store, [&] {
            for (int i = 0; i < 3; ++i) {
                store.Add(Text("10.0.0.1", QString::number(i), true), nullptr,
                          [&ids](const HistoryEntry& shown) { ids << shown.id; });
            }
            store.ClearUnread("10.0.0.2");
            QTRY_COMPARE(ids, QList<qint64>({0, 0, 0}));
            QCOMPARE(store.UnreadCounts().value(), (QHash<QString, int>{{"10.0.0.1", 1}}));
            other.Value("COMMIT");
            QTRY_COMPARE(late.size(), 3);
        });
        QCOMPARE(faults, QStringList());
        QVERIFY(store.IsWriting());
        const QList<HistoryEntry> stored = store.Last("10.0.0.1", 10);
        QCOMPARE(Texts(stored), QStringList({"before", "0", "1", "2"}));
        QCOMPARE(late, QList<qint64>({stored[1].id, stored[2].id, stored[3].id}));
        QCOMPARE(store.UnreadCounts().value(), (QHash<QString, int>{{"10.0.0.1", 4}}));
    }

    // Texts from senders never written to take the day's room at most, also after a
    // restart; beyond it they are handed back unstored and marked so. Contacts written to,
    // and those the caller's rule keeps, are always stored.
    void strangersTakeTheDaysRoomAtMost() {
        const auto add = [](HistoryStore& store, const QString& address, bool outgoing) {
            HistoryEntry entry = Text(address, QString(1000, 'x'));
            entry.time = QDateTime();  // today
            entry.outgoing = outgoing;
            HistoryEntry shown;
            store.Add(entry, nullptr, [&shown](const HistoryEntry& back) { shown = back; });
            store.Flush();
            return shown.id > 0 ? "stored" : shown.overDailyLimit ? "over" : "?";
        };
        const qint64 room = 2 * StrangerBudget::Weight(1000, QString("BobBrownOps").size());
        for (int run = 0; run < 2; ++run) {
            HistoryStore store(Data());
            QVERIFY(store.Open());
            store.Budget().SetLimit(room);
            store.Budget().SetKeepsAll(
                [](const QString& address) { return address == "10.0.0.8"; });
            QStringList got;
            if (run == 0) {
                got << add(store, "10.0.0.9", true) << add(store, "10.0.0.1", false)
                    << add(store, "10.0.0.2", false);
            }
            got << add(store, "10.0.0.3", false) << add(store, "10.0.0.9", false)
                << add(store, "10.0.0.8", false);
            QCOMPARE(got, (run == 0 ? QStringList{"stored", "stored", "stored", "over", "stored",
                                                  "stored"}
                                    : QStringList{"over", "stored", "stored"}));
        }
    }

    // One writer per file: a second store (another program) reads only, says once who
    // keeps the history and hands its texts back unstored; once the first has closed, a
    // new one writes again.
    void oneWriterPerFile() {
        HistoryStore first(Data());
        QVERIFY(first.Open());
        Store(first, {Text("10.0.0.1", "kept")});
        HistoryStore second(Data());
        const QStringList faults = Faults(second, [&] { QVERIFY(second.Open()); });
        QCOMPARE(faults, QStringList{"another Tollix program of this user keeps it (process " +
                                     QString::number(QCoreApplication::applicationPid()) +
                                     "); texts are shown here without being stored"});
        QVERIFY(!second.IsWriting());
        QCOMPARE(Store(second, {Text("10.0.0.1", "not kept")}), QList<qint64>{0});
        QCOMPARE(Texts(second.Last("10.0.0.1", 10)), QStringList{"kept"});
        QCOMPARE(Faults(second, [&] { QVERIFY(!second.ClearAll()); }), faults);
        first.Close();
        HistoryStore third(Data());
        QVERIFY(third.Open() && third.IsWriting());
    }

    // A file moved aside (by another program) is noticed by its inode: the writer and a
    // reader open the new file and say that it was replaced before any of its ids are
    // handed back or read.
    void aReplacedFileIsNoticedAndReopened_data() {
        QTest::addColumn<bool>("reader");
        QTest::newRow("writer") << false;
        QTest::newRow("reader") << true;
    }
    void aReplacedFileIsNoticedAndReopened() {
        QFETCH(bool, reader);
        HistoryStore writer(Data());
        QVERIFY(writer.Open());
        Store(writer, {Text("10.0.0.1", "old"), Text("10.0.0.1", "old")});
        HistoryStore second(Data());
        QVERIFY(!reader || second.Open());
        HistoryStore& store = reader ? second : writer;
        QCOMPARE(store.Last("10.0.0.1", 10).size(), 2);
        QVERIFY(MoveAsideDamaged(File(), kNow).moved);
        QSignalSpy replaced(&store, &HistoryStore::replaced);
        QList<qsizetype> replacedWhenHandedBack;
        writer.Add(Text("10.0.0.1", "new"), nullptr,
                   [&](const HistoryEntry&) { replacedWhenHandedBack << replaced.size(); });
        writer.Flush();
        // A reader notices at its next query, which reads nothing until it has said so.
        QVERIFY(!reader || second.Last("10.0.0.1", 10).isEmpty());
        QTRY_COMPARE(replaced.size(), 1);
        QCOMPARE(replacedWhenHandedBack, QList<qsizetype>{reader ? 0 : 1});
        const QList<HistoryEntry> now = store.Last("10.0.0.1", 10);
        QCOMPARE(Texts(now), QStringList{"new"});
        QCOMPARE(now[0].id, 1);
    }

    void aFileThatCannotBeWrittenIsLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("newer version") << "newer";
        QTest::newRow("read-only") << "read-only";
        QTest::newRow("full disk") << "full";
    }
    void aFileThatCannotBeWrittenIsLeftAlone() {
        QFETCH(QString, kind);
        const bool root = ::geteuid() == 0;
        if (kind == "full" && !(root && MountDisk("size=256k"))) {
            QSKIP("a full disk needs a tmpfs, mounted as root");
        }
        if (kind == "read-only" && root) {
            QVERIFY(MountDisk("size=1m"));
        }
        HistoryStore store(Data());
        QVERIFY(store.Open());
        Store(store, {Text("10.0.0.1", "before")});
        store.Close();
        const QString folder = QFileInfo(File()).path();
        if (kind == "newer") {
            OtherConnection(File()).Value("PRAGMA user_version = 99");
        } else if (kind == "read-only" && root) {
            QVERIFY(::mount(nullptr, QFile::encodeName(Data()).constData(), nullptr,
                            MS_REMOUNT | MS_RDONLY, nullptr) == 0);
        } else if (kind == "read-only") {
            QFile::setPermissions(File(), QFileDevice::ReadOwner);
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }

        // Every text is handed back, stored or not; one fault is reported.
        QList<qint64> ids;
        const QStringList faults = Faults(store, [&] {
            store.Open();
            for (int i = 0; i < 300 && (ids.isEmpty() || ids.last() > 0); ++i) {
                ids << Store(store, {Text("10.0.0.1", QString(1000, 'x'))});
            }
            ids << Store(store, {Text("10.0.0.1", "after")});
        });
        QCOMPARE(faults.size(), 1);
        QVERIFY(!store.IsOpen());
        QCOMPARE(ids.last(), 0);
        QVERIFY(store.Last("10.0.0.1", 1).isEmpty());
        if (kind == "newer") {
            QCOMPARE(faults[0], "the file was written by a newer version of Tollix");
            QCOMPARE(OtherConnection(File()).Value("PRAGMA user_version"), QVariant(99));
        } else if (kind == "full") {
            QVERIFY2(faults[0].contains("full"), qPrintable(faults[0]));
            QVERIFY(ids.size() > 2);
        }
        QCOMPARE(QDir(folder).entryList({"*corrupt*"}), QStringList());
        QFile::setPermissions(folder, kOwnerOnly | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "test_history.moc"

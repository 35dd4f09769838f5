// Desktop integration: one copy per display (two real processes, and a copy that crashed),
// the autostart entry, and termination signals reaching the event loop.
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "core/signal_watcher.h"
#include "platform/autostart.h"
#include "platform/single_instance.h"

class PlatformTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    std::unique_ptr<QProcess> StartProbe() {
        auto probe = std::make_unique<QProcess>();
        probe->start(QCoreApplication::applicationDirPath() + "/single_instance_probe",
                     {"tollix-test", dir_.path()});
        return probe;
    }
    static QByteArray Said(QProcess& probe) {
        probe.waitForReadyRead(5000);
        return probe.readLine().trimmed();
    }

private slots:
    void secondCopyAsksTheFirstAndACrashedOneDoesNotBlock() {
        auto first = StartProbe();
        QCOMPARE(Said(*first), "first");

        auto second = StartProbe();
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->readAll().trimmed(), "asked");
        QCOMPARE(Said(*first), "raise");

        first->kill();  // a crash: the lock file and the socket stay behind
        first->waitForFinished();
        auto third = StartProbe();
        QCOMPARE(Said(*third), "first");
        third->closeWriteChannel();
        QVERIFY(third->waitForFinished(5000));
        QCOMPARE(third->exitCode(), 0);
    }

    // A socket path longer than a local socket may have: the copy that holds the lock runs
    // and says why it cannot be asked; a second one still finds the lock held.
    void lockHolderRunsWhenItsSocketCannotListen() {
        const QString deep = dir_.path() + "/" + QString(120, u'd');
        QVERIFY(QDir().mkpath(deep));
        tollix::SingleInstance first("tollix-test", deep);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot listen on .*\\.socket"));
        QVERIFY(first.Claim());
        tollix::SingleInstance second("tollix-test", deep);
        QVERIFY(!second.Claim());
    }

    void autostartEntry() {
        const tollix::Autostart autostart(dir_.path());
        QVERIFY(autostart.SetAutostart(false));  // nothing to remove: still a success
        QVERIFY(autostart.SetAutostart(true));
        QFile entry(dir_.path() + "/autostart/tollix.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains("[Desktop Entry]"));
        QVERIFY(text.contains("Exec=\"" + QCoreApplication::applicationFilePath() + "\""));
        QVERIFY(autostart.SetAutostart(false));
        QVERIFY(!QFile::exists(entry.fileName()));
    }

    void terminationSignalsReachTheEventLoop() {
        tollix::SignalWatcher watcher;
        QSignalSpy requested(&watcher, &tollix::SignalWatcher::terminationRequested);
        for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
            std::raise(number);
            QVERIFY(requested.wait(2000));
            QCOMPARE(requested.takeFirst().at(0).toInt(), number);
        }
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "test_platform.moc"

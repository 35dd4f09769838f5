// The about box: its look, the version line, and the statistics that it rebuilds every
// second without any user action.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "core_harness.h"
#include "ui/about/about_dlg.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

QString Shown(const CAboutDlg& about) {
    return about.findChild<QPlainTextEdit*>()->toPlainText();
}

}  // namespace

class AboutDialogTest : public QObject {
    Q_OBJECT

private slots:
    void showsVersionAndStatisticsAsLines() {
        CoreHarness h;
        NetMessage hello;
        hello.msgType = MSGTYPE_ONLINE;
        for (const char* address : {"10.0.0.7", "10.0.0.8"}) {
            hello.from = address;
            hello.body = "|FIRSTNAME=Bob|SECONDNAME=" + std::string(address) + "|GROUP=Ops|";
            h.app.Contacts().OnIncomingMessage(hello);
        }
        h.AddTunnel("10.8.0.1", 5);
        CAboutDlg about(h.app);

        QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
        QStringList labels;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            labels << label->text();
        }
        QVERIFY(labels.contains("Tollix Version 1.2.0"));
        auto* ok = about.findChild<QPushButton*>();
        QVERIFY(ok->isDefault() && ok->isFlat());
        QVERIFY(about.findChild<QPlainTextEdit*>()->isReadOnly());

        QCOMPARE(about.StatisticsText(), QString::fromStdString(h.app.BuildStatisticsText(true)));
        QCOMPARE(Shown(about),
                 "Up-time: 0d:00h:00m:00s\n"
                 "Received packets(bytes): 0(0)\n"
                 "Processed packets(bytes): 0(0)\n"
                 "Message packets(bytes): 0(0)\n"
                 "Contacts amount: 3\n"
                 "Tunnels amount: 1");
    }

    void refreshesEverySecond() {
        CoreHarness h;
        CAboutDlg about(h.app);
        about.show();
        QElapsedTimer elapsed;
        elapsed.start();
        h.clock.now += 100 * 86400 + 61;
        QTRY_VERIFY_WITH_TIMEOUT(Shown(about).startsWith("Up-time: 100d:00h:01m:01s\n"), 5000);
        QVERIFY(elapsed.elapsed() >= 500);  // by the timer, not at once
        h.clock.now += 1;
        QTRY_VERIFY_WITH_TIMEOUT(Shown(about).startsWith("Up-time: 100d:00h:01m:02s\n"), 5000);
    }
};

QTEST_MAIN(AboutDialogTest)
#include "test_about_dialog.moc"

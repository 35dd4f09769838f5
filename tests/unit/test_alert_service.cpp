// The alert service: one alert at a time, no repeat within 30 seconds, surplus logged at
// most once per text and 30 seconds.
#include <QtTest>
#include <cstdio>

#include "core/alert_service.h"
#include "fakes.h"

using namespace tollix;
using namespace tollix::testing;

class AlertServiceTest : public QObject {
    Q_OBJECT

private slots:
    void surplusAlertsAreLoggedNotShown() {
        FakeClock clock;
        AlertService alerts(clock);
        std::FILE* log = std::tmpfile();
        alerts.SetSurplusLog(log);
        QStringList shown;
        connect(&alerts, &AlertService::alertRaised, this,
                [&](AlertKind, const QString& caption, const QString& text) {
                    shown << caption + ": " + text;
                    // A box is open: alerts raised meanwhile (a nested event loop) wait
                    // for nobody and are logged instead.
                    alerts.Show("while open");
                });
        alerts.Show("Multicast Failed!");
        alerts.Show("Multicast Failed!");
        alerts.Show("disk full", "Error", AlertKind::Error);
        clock.now += 29;
        alerts.Show("Multicast Failed!");
        clock.now += 1;
        alerts.Show("Multicast Failed!");
        QCOMPARE(shown, QStringList({"Tollix: Multicast Failed!", "Error: disk full",
                                     "Tollix: Multicast Failed!"}));

        // A flood of one text: held back, then one line with the count.
        clock.now += 1;
        for (int i = 0; i < 10000; ++i) {
            alerts.Show("Multicast Failed!");
        }
        clock.now += 29;
        alerts.Show("Multicast Failed!");  // shown again; the box's own surplus is logged

        const QString logged = ReadLog(log);
        QCOMPARE(logged.count(QChar(10)), 6);
        QCOMPARE(logged.count("alert not shown (another alert is open): while open"), 3);
        QCOMPARE(logged.count("(shown less than 30 seconds ago): Multicast Failed!"), 3);
        QVERIFY(logged.contains("while open (1 more since the last line)\n"));
        QVERIFY(logged.contains("Multicast Failed! (9999 more since the last line)\n"));
        std::fclose(log);
    }
};

QTEST_GUILESS_MAIN(AlertServiceTest)
#include "test_alert_service.moc"

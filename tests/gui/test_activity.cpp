// The activity source where the program sees only its own input (here: offscreen).
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "platform/activity_source.h"

using namespace tollix;

class ActivityTest : public QObject {
    Q_OBJECT

private slots:
    void ownWindowsInputCountsOncePerPressOrMove() {
        std::unique_ptr<ActivitySource> source = ActivitySource::Create();
        QCOMPARE(source->metaObject()->className(), "tollix::WindowActivitySource");
        // A widget that takes the key press after its window has seen it.
        QLineEdit edit;
        edit.resize(200, 50);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QWindow* window = edit.windowHandle();
        QSignalSpy activity(source.get(), &ActivitySource::activity);

        QTest::keyPress(window, Qt::Key_A);
        QCOMPARE(activity.count(), 0);  // not installed yet
        QVERIFY(source->Install());
        QVERIFY(source->Install());
        QVERIFY(source->IsInstalled());

        QTest::keyPress(window, Qt::Key_B);
        QCOMPARE(activity.count(), 1);
        QTest::keyRelease(window, Qt::Key_B);
        QCOMPARE(activity.count(), 1);  // a release is no activity
        QTest::mouseMove(window, QPoint(30, 20));
        QCOMPARE(activity.count(), 2);
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(activity.count(), 3);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(activity.count(), 3);

        source->Remove();
        QVERIFY(!source->IsInstalled());
        QTest::keyPress(window, Qt::Key_C);
        QTest::mouseMove(window, QPoint(40, 30));
        QCOMPARE(activity.count(), 3);
    }
};

QTEST_MAIN(ActivityTest)
#include "test_activity.moc"

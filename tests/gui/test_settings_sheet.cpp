// The settings sheet as the Settings command runs it: what OK and Cancel copy, the text
// limits and the integer check, the tunnel list's Add and Remove and its order, a page
// that was never opened, and the History page.
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "core/settings_store.h"
#include "core_harness.h"
#include "test_dialog_support.h"
#include "ui/common/up_down_control.h"
#include "ui/settings/property_general.h"
#include "ui/settings/property_networking.h"
#include "ui/settings/settings_command.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

template <class T>
T* Control(CSettingsSheet& sheet, int page, int id) {
    return qobject_cast<T*>(sheet.Page(page)->Control(id));
}

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row) {
        items << list->item(row)->text();
    }
    return items;
}

QStringList Hosts(const TunnelList& tunnels) {
    QStringList hosts;
    for (const auto& entry : tunnels) {
        hosts << QString::fromStdString(entry->tunHost);
    }
    return hosts;
}

}  // namespace

class SettingsSheetTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<CoreHarness> h_;
    std::vector<bool> autostart_;
    int cleared_ = 0;
    QPointer<CSettingsSheet> open_;

    SettingsStore Store() const { return SettingsStore(dir_.path()); }
    AppSettings& Settings() { return h_->app.Settings(); }

    // Runs the Settings command; `act` works on the shown sheet and must end it.
    bool Run(const std::function<void(CSettingsSheet&)>& act) {
        bool acted = false;
        QTimer::singleShot(0, this, [&] {
            acted = true;
            QVERIFY(open_);
            QVERIFY(open_->isVisible());
            act(*open_);
            if (open_ && open_->isVisible()) {
                open_->reject();  // a failed check must not leave the sheet hanging
            }
        });
        const bool accepted = OnSettings(
            h_->app, Store(), [this](bool on) { autostart_.push_back(on); }, nullptr, open_,
            [this] { return ++cleared_ > 0; });
        [&] {
            QVERIFY(acted);
            QVERIFY(!open_);
        }();
        return accepted;
    }

private slots:
    void init() {
        QFile::remove(Store().FilePath());
        h_ = std::make_unique<CoreHarness>();
        autostart_.clear();
        cleared_ = 0;
        h_->multicast.localAddresses = {"192.168.7.1", "10.0.0.5"};
    }

    void okCopiesBackSetsAutostartAndSaves() {
        Settings().userFirstName = "Ann";
        Settings().startWithWindows = 0;
        const bool accepted = Run([](CSettingsSheet& sheet) {
            QCOMPARE(sheet.windowTitle(), "Settings");
            QCOMPARE(sheet.PageCount(), 3);
            QCOMPARE(sheet.Tabs()->tabText(0), "General");
            QCOMPARE(sheet.Tabs()->currentIndex(), 0);
            Control<QLineEdit>(sheet, 0, 1002)->setText(" Zed ");  // blanks are kept
            Control<QRadioButton>(sheet, 0, 1008)->click();        // stick to the left
            Control<QRadioButton>(sheet, 0, 1012)->click();        // send with Enter
            sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(accepted);
        QCOMPARE(Settings().userFirstName, " Zed ");
        QCOMPARE(Settings().guiStickMode, 0);
        QCOMPARE(Settings().msgSendKey, 0);
        QCOMPARE(autostart_, std::vector<bool>{false});
        AppSettings saved;
        saved.LoadSettings(Store());
        QCOMPARE(saved.userFirstName, " Zed ");
        QCOMPARE(saved.msgSendKey, 0);
        QVERIFY(h_->multicast.sent.empty());  // nothing is announced
    }

    void cancelChangesNothing() {
        h_->AddTunnel("10.1.0.1", 1);
        h_->AddTunnel("10.1.0.2", 2);
        const TunnelList before = Settings().tunnels;
        BoxAnswerer answerer(QMessageBox::Yes);
        const bool accepted = Run([](CSettingsSheet& sheet) {
            Control<QLineEdit>(sheet, 0, 1002)->setText("Zed");
            sheet.SetActivePage(1);
            auto* list = Control<QListWidget>(sheet, 1, 1017);
            list->setCurrentRow(0);
            Control<QPushButton>(sheet, 1, 1018)->click();
            QCOMPARE(list->count(), 1);
            sheet.reject();
        });
        QVERIFY(!accepted);
        QCOMPARE(answerer.boxes.size(), 1u);
        QCOMPARE(Settings().userFirstName, "unknown");
        QVERIFY(Settings().tunnels == before);  // the same entries, removed one included
        QVERIFY(autostart_.empty());
        QVERIFY(!QFile::exists(Store().FilePath()));
    }

    void awayTimeout_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("trackAfter");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("expected");
        QTest::newRow("90 s, on") << 90 << true << "1" << 60;
        QTest::newRow("90 s, off keeps the seconds") << 90 << false << "1" << 90;
        QTest::newRow("30 s") << 30 << true << "1" << 60;
        QTest::newRow("300 s") << 300 << true << "5" << 300;
        QTest::newRow("0 s") << 0 << true << "1" << 60;
    }
    void awayTimeout() {
        QFETCH(int, stored);
        QFETCH(bool, trackAfter);
        QFETCH(QString, shown);
        QFETCH(int, expected);
        Settings().awayNotificationTimeout = stored;
        const bool accepted = Run([&](CSettingsSheet& sheet) {
            sheet.SetActivePage(1);
            auto* minutes = Control<QLineEdit>(sheet, 1, 1033);
            QCOMPARE(minutes->text(), shown);
            if (!trackAfter) {
                Control<QCheckBox>(sheet, 1, 1023)->click();
                QVERIFY(!minutes->isEnabled());
                minutes->setText("42");  // not stored while the switch is off
            }
            sheet.accept();
        });
        QVERIFY(accepted);
        QCOMPARE(Settings().awayNotificationTimeout, expected);
        QCOMPARE(Settings().trackSystemIdleTime, trackAfter ? 1 : 0);
    }

    void textLimitsAndIntegerCheck() {
        BoxAnswerer answerer;
        const bool accepted = Run([&](CSettingsSheet& sheet) {
            auto* first = Control<QLineEdit>(sheet, 0, 1002);
            auto* group = Control<QLineEdit>(sheet, 0, 1006);
            // Typing stops at the limit.
            first->setText(QString(15, u'a'));
            QTest::keyClicks(first, "bcd");
            QCOMPARE(first->text(), QString(15, u'a') + "b");
            group->setText(QString(31, u'g'));
            QTest::keyClicks(group, "hi");
            QCOMPARE(group->text().size(), 32);
            // A longer text present all the same is refused when the page is left.
            first->setText(QString(17, u'x'));
            QVERIFY(!sheet.SetActivePage(1));
            sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
            QVERIFY(sheet.isVisible());
            QCOMPARE(answerer.Texts(), QStringList(2, "Please enter no more than 16 characters."));
            QCOMPARE(answerer.boxes.back().caption, "Tollix");
            QTest::keyClick(first, Qt::Key_End);
            QTest::keyClick(first, Qt::Key_Backspace);  // may still shrink
            QCOMPARE(first->text().size(), 16);

            QVERIFY(sheet.SetActivePage(1));
            auto* minutes = Control<QLineEdit>(sheet, 1, 1033);
            for (const char* bad : {"abc", "", "5x", "99999999999"}) {
                minutes->setText(bad);
                QVERIFY(!sheet.SetActivePage(0));
            }
            Control<QCheckBox>(sheet, 1, 1023)->click();  // checks the minutes too
            QCOMPARE(answerer.boxes.size(), 7u);
            QCOMPARE(answerer.boxes.back().text, "Please enter an integer.");
            minutes->setText(" -5 ");  // no range test
            Control<QCheckBox>(sheet, 1, 1023)->click();
            sheet.accept();
            QCOMPARE(answerer.boxes.size(), 7u);
        });
        QVERIFY(accepted);
        QCOMPARE(Settings().userFirstName, std::string(16, 'x'));
        QCOMPARE(Settings().awayNotificationTimeout, -300);
    }

    void addRemoveAndOrderAfterOk() {
        NetMessage hello;
        hello.msgType = MSGTYPE_ONLINE;
        hello.from = "10.0.0.9";
        hello.body = "|FIRSTNAME=Bob|SECONDNAME=Brown|GROUP=Ops|";
        h_->app.Contacts().OnIncomingMessage(hello);
        h_->AddTunnel("zeta", 1);
        h_->AddTunnel("10.0.0.12", 2);
        h_->AddTunnel("Alpha", 3);
        const auto alpha = Settings().tunnels[2];
        BoxAnswerer answerer(QMessageBox::No);
        const bool accepted = Run([&](CSettingsSheet& sheet) {
            sheet.SetActivePage(1);
            auto* list = Control<QListWidget>(sheet, 1, 1017);
            auto* host = Control<QLineEdit>(sheet, 1, 1019);
            auto* add = Control<QPushButton>(sheet, 1, 1016);
            auto* remove = Control<QPushButton>(sheet, 1, 1018);
            QCOMPARE(Items(list), QStringList({"10.0.0.12", "Alpha", "zeta"}));
            // The whole host is compared: the beginning of a listed host can be added.
            for (const char* typed : {" 10.0.0.1 ", "10.0.0.9", "ALPHA", "", "   "}) {
                host->setText(typed);
                add->click();
            }
            QCOMPARE(Items(list), QStringList({"10.0.0.1", "10.0.0.12", "10.0.0.9 (Bob Brown)",
                                               "Alpha", "zeta"}));
            QCOMPARE(host->text(), "   ");  // blank input keeps its text
            remove->click();                // nothing selected: no question
            QVERIFY(answerer.boxes.empty());
            list->setCurrentRow(3);  // Alpha
            remove->click();         // No
            QCOMPARE(list->count(), 5);
            answerer.SetAnswer(QMessageBox::Yes);
            remove->click();
            QCOMPARE(answerer.boxes.size(), 2u);
            QCOMPARE(answerer.boxes[0].caption, "Confirmation");
            QCOMPARE(answerer.boxes[0].text, "Are You Sure?");
            QCOMPARE(answerer.boxes[0].icon, QMessageBox::Question);
            QCOMPARE(answerer.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QVERIFY(!Items(list).contains("Alpha"));
            // The local interfaces, 192.168 ones included, in text order.
            Control<QCheckBox>(sheet, 1, 1020)->setChecked(true);
            QCOMPARE(Items(Control<QListWidget>(sheet, 1, 1032)),
                     QStringList({"10.0.0.5", "192.168.7.1"}));
            h_->AddTunnel("learned", 9);  // routing learns a tunnel meanwhile
            sheet.accept();
        });
        QVERIFY(accepted);
        QCOMPARE(Hosts(Settings().tunnels),
                 QStringList({"10.0.0.1", "10.0.0.12", "10.0.0.9", "zeta"}));
        QCOMPARE(Settings().tunnels[1]->tunId, 2);  // existing entries are kept as they are
        QVERIFY(Settings().tunnels[0]->tunSubnet.empty());
        QCOMPARE(alpha.use_count(), 1L);  // the removed entry is out of the list
        QCOMPARE(Settings().ignoreLocalInterfaces, 1);
    }

    void pageNeverOpenedIsCopiedBackUnchanged() {
        h_->AddTunnel("zeta", 1);
        h_->AddTunnel("alpha", 2);
        Settings().connectOnStartup = 0;
        const TunnelList before = Settings().tunnels;
        const bool accepted = Run([&](CSettingsSheet& sheet) {
            QVERIFY(sheet.Page(1)->Control(1017) == nullptr);  // no controls yet
            h_->AddTunnel("learned", 9);
            sheet.accept();
        });
        QVERIFY(accepted);
        QVERIFY(Settings().tunnels == before);  // same entries, same order, learned one gone
        QCOMPARE(Settings().connectOnStartup, 0);
    }

    void tunnelListIsBounded() {
        for (std::size_t i = 0; i < AppSettings::kMaxTunnels; ++i) {
            h_->AddTunnel("10.2.0." + std::to_string(i), static_cast<std::int32_t>(i + 1));
        }
        const bool accepted = Run([](CSettingsSheet& sheet) {
            sheet.SetActivePage(1);
            auto* host = Control<QLineEdit>(sheet, 1, 1019);
            host->setText("one.more");
            Control<QPushButton>(sheet, 1, 1016)->click();
            QCOMPARE(Control<QListWidget>(sheet, 1, 1017)->count(),
                     static_cast<int>(AppSettings::kMaxTunnels));
            QCOMPARE(host->text(), "one.more");
            sheet.accept();
        });
        QVERIFY(accepted);
        QCOMPARE(Settings().tunnels.size(), AppSettings::kMaxTunnels);
    }

    // The History page: its switches and days as stored, the integer check, and "Clear
    // history..." at once after confirming, whatever ends the sheet.
    void historyPage_data() {
        QTest::addColumn<QString>("days");
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << "30" << true;
        QTest::newRow("not a number, then Cancel") << "a month" << false;
    }
    void historyPage() {
        QFETCH(QString, days);
        QFETCH(bool, ok);
        BoxAnswerer answerer(QMessageBox::No);
        const bool accepted = Run([&](CSettingsSheet& sheet) {
            QCOMPARE(sheet.Tabs()->tabText(2), "History");
            QVERIFY(sheet.SetActivePage(2));
            auto* keep = Control<QCheckBox>(sheet, 2, 1041);
            auto* edit = Control<QLineEdit>(sheet, 2, 1042);
            auto* notify = Control<QCheckBox>(sheet, 2, 1044);
            QCOMPARE(keep->text(), "Keep history");
            QVERIFY(keep->isChecked() && notify->isChecked());
            QCOMPARE(edit->text(), "0");
            QCOMPARE(Control<UpDownControl>(sheet, 2, 1043)->Buddy(), edit);
            keep->click();
            notify->click();
            edit->setText(days);
            auto* clear = Control<QPushButton>(sheet, 2, 1045);
            QCOMPARE(clear->text(), "Clear history...");
            clear->click();  // No
            QCOMPARE(cleared_, 0);
            answerer.SetAnswer(QMessageBox::Yes);
            clear->click();
            QCOMPARE(cleared_, 1);
            QCOMPARE(answerer.boxes.front().caption, "Confirmation");
            sheet.accept();
            if (!ok) {
                QVERIFY(sheet.isVisible());
                QCOMPARE(answerer.boxes.back().text, "Please enter an integer.");
                sheet.reject();
            }
        });
        QCOMPARE(accepted, ok);
        QCOMPARE(cleared_, 1);
        AppSettings saved;
        saved.LoadSettings(Store());
        QCOMPARE(Settings().keepHistory, ok ? 0 : 1);
        QCOMPARE(saved.keepHistory, ok ? 0 : 1);
        QCOMPARE(saved.historyDays, ok ? 30 : 0);
        QCOMPARE(saved.showNotifications, ok ? 0 : 1);
    }

    void spinStepsWithinItsRange() {
        const bool accepted = Run([](CSettingsSheet& sheet) {
            sheet.SetActivePage(1);
            auto* spin = Control<UpDownControl>(sheet, 1, 1034);
            auto* minutes = Control<QLineEdit>(sheet, 1, 1033);
            QCOMPARE(spin->Buddy(), minutes);
            QVERIFY(spin->geometry().left() == minutes->geometry().right() + 1);
            minutes->setText("59");
            QTest::keyClick(minutes, Qt::Key_Up);
            QTest::keyClick(minutes, Qt::Key_Up);
            QCOMPARE(minutes->text(), "60");
            minutes->setText("2");
            spin->StepBy(-1);
            spin->StepBy(-1);
            QCOMPARE(minutes->text(), "1");
            sheet.reject();
        });
        QVERIFY(!accepted);
    }
};

QTEST_MAIN(SettingsSheetTest)
#include "test_settings_sheet.moc"

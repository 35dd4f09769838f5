// The dialog tables as placed on the screen: every control where its table puts it
// (widened only where the font needs it) and nothing cut off, with the default font and
// with a wider one.
#include <QtTest>

#include "core_harness.h"
#include "test_dialog_support.h"
#include "ui/about/about_dlg.h"
#include "ui/filetransfer/file_transfer_dlg.h"
#include "ui/settings/property_general.h"
#include "ui/settings/property_general_table.h"
#include "ui/settings/property_history.h"
#include "ui/settings/property_history_table.h"
#include "ui/settings/property_networking.h"
#include "ui/settings/property_networking_table.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

// Each control of the page sits at its table position; labels and buttons with an
// indicator may be wider, and taller about their centre.
void CheckPlacement(const CPropertyPage& page, std::span<const dialog::ControlRow> table) {
    const dialog::DialogUnits units(page.font());
    for (const dialog::ControlRow& row : table) {
        if (row.id == dialog::kNoId || row.kind == dialog::Kind::UpDown || row.id == 1033 ||
            row.id == history_table::kDays) {
            continue;  // the up-down control moves onto its edit's right edge
        }
        const QRect expected = units.ToPixels(row.x, row.y, row.width, row.height);
        const QRect placed = page.Control(row.id)->geometry();
        QVERIFY2(placed.left() == expected.left() && placed.width() >= expected.width() &&
                     placed.center().y() - expected.center().y() <= 1 &&
                     placed.height() >= expected.height(),
                 qPrintable(QStringLiteral("control %1").arg(row.id)));
    }
}

}  // namespace

class DialogUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void unitsFollowTheFont() {
        const dialog::DialogUnits units;
        QVERIFY(units.BaseX() > 0 && units.BaseY() > 0);
        QCOMPARE(units.ToPixels(4, 8), QSize(units.BaseX(), units.BaseY()));
        // Neighbours share their edge whatever the rounding.
        for (int x = 0; x < 40; ++x) {
            QCOMPARE(units.ToPixels(x, x, 3, 5).right() + 1, units.ToPixels(x + 3, 0, 1, 1).left());
            QCOMPARE(units.ToPixels(x, x, 3, 5).bottom() + 1, units.ToPixels(0, x + 5, 1, 1).top());
        }
        QFont wide = dialog::DialogUnits::DialogFont();
        wide.setPointSize(16);
        QVERIFY(dialog::DialogUnits(wide).BaseX() > units.BaseX());
    }

    void tablesArePlacedUnclipped_data() {
        QTest::addColumn<QString>("family");
        QTest::newRow("default font") << QString();
        QTest::newRow("wider serif font") << QStringLiteral("DejaVu Serif");
    }
    void tablesArePlacedUnclipped() {
        QFETCH(QString, family);
        const QFont original = QApplication::font();
        if (!family.isEmpty()) {
            QApplication::setFont(QFont(family));
        }
        CoreHarness h;
        CPropertyGeneral general;
        general.Activate();
        CheckPlacement(general, general_table::kControls);
        CPropertyNetworking networking(h.app);
        networking.Activate();
        CheckPlacement(networking, networking_table::kControls);
        CPropertyHistory history({});
        history.Activate();
        CheckPlacement(history, history_table::kControls);
        CAboutDlg about(h.app);
        auto* transfer = new CFileTransferDlg(nullptr);
        Contact contact;
        contact.firstName = "Bob";
        transfer->BindContact(contact);
        for (QWidget* dialog :
             std::initializer_list<QWidget*>{&general, &networking, &history, &about, transfer}) {
            dialog->show();
            const QStringList clipped = FindClippedControls(dialog);
            QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());  // not resizable
        }
        transfer->DetachAndClose();
        QApplication::setFont(original);
    }
};

QTEST_MAIN(DialogUnitsTest)
#include "test_dialog_units.moc"

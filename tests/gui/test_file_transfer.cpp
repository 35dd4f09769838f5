// The file transfer dialog: binding to a contact, the file it holds open in each state,
// "Send", and closing it every way, which must unlink the contact and release the file.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/contact.h"
#include "test_dialog_support.h"
#include "ui/filetransfer/file_transfer_dlg.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

QString Field(const CFileTransferDlg& dialog, int row) {
    // The read-only edits, top to bottom: peer, name, size, folder.
    auto edits = dialog.findChildren<QLineEdit*>();
    std::sort(edits.begin(), edits.end(),
              [](QLineEdit* a, QLineEdit* b) { return a->y() < b->y(); });
    return edits.at(row)->text();
}

// The open-file dialog that the dialog has opened, if one is open.
QFileDialog* Chooser(const CFileTransferDlg& dialog) {
    for (QFileDialog* chooser : dialog.findChildren<QFileDialog*>()) {
        if (chooser->isVisible()) {
            return chooser;
        }
    }
    return nullptr;
}

// Chooses `path` in the open-file dialog, or cancels it when `path` is empty.
void Answer(QFileDialog* chooser, const QString& path) {
    QVERIFY(chooser != nullptr);
    if (path.isEmpty()) {
        chooser->reject();
        return;
    }
    chooser->selectFile(path);
    static_cast<QDialog*>(chooser)->accept();  // as its Open button does
}

}  // namespace

class FileTransferTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    Contact contact_;

    QString MakeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

private slots:
    void init() {
        contact_ = Contact{};
        contact_.firstName = "Bob";
        contact_.secondName = "Brown";
    }

    void bindingShowsTheContact() {
        auto* dialog = new CFileTransferDlg(nullptr);
        QCOMPARE(dialog->windowTitle(), "File transfer");
        dialog->BindContact(contact_);
        QCOMPARE(dialog->windowTitle(), "Send file to: Bob Brown");
        QCOMPARE(contact_.fileTransfer.data(), dialog);
        QCOMPARE(Field(*dialog, 0), "Bob Brown");
        QStringList labels;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            labels << label->text();
        }
        QVERIFY(labels.contains("To:") && labels.contains("File path:"));
        QVERIFY(FindButton(*dialog, "Send")->isDefault());
        QVERIFY(!dialog->isModal());
        dialog->DetachAndClose();
        QVERIFY(contact_.fileTransfer.isNull());
    }

    void fileStatesAndSend() {
        const QString first = MakeFile("first.txt", "12345");
        const QString second = MakeFile("second.bin", QByteArray(1000, 'x'));
        BoxAnswerer answerer;
        CFileTransferDlg dialog(nullptr);
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.BindContact(contact_);
        dialog.show();
        auto* send = FindButton(dialog, "Send");

        send->click();  // no file yet: asks for one; cancelled, so no box
        Answer(Chooser(dialog), "");
        QTest::qWait(50);
        QVERIFY(answerer.boxes.empty());
        QCOMPARE(Field(dialog, 1), "");

        send->click();  // asks again, then answers
        Answer(Chooser(dialog), first);
        QCOMPARE(Field(dialog, 1), "first.txt");
        QCOMPARE(Field(dialog, 2), "5 bytes");
        QCOMPARE(Field(dialog, 3), QFileInfo(first).absolutePath() + "/");
        QPointer<const QFile> held = dialog.OpenFile();
        QVERIFY(held && held->isOpen());
        QTRY_COMPARE(answerer.Texts(), QStringList{"Not implemented yet!\nSorry :-)"});
        QCOMPARE(answerer.boxes[0].caption, "Tollix");

        FindButton(dialog, "...")->click();  // a second file replaces the first and releases it
        Answer(Chooser(dialog), second);
        QVERIFY(held.isNull());
        QCOMPARE(Field(dialog, 1), "second.bin");
        QCOMPARE(Field(dialog, 2), "1000 bytes");

        dialog.TakeFile(dir_.filePath("missing"));  // gone between the choice and the opening
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(Field(dialog, row), "Error!");
        }
        QVERIFY(dialog.OpenFile() == nullptr);
        send->click();  // counts as chosen: the box at once
        QVERIFY(Chooser(dialog) == nullptr);
        QTRY_COMPARE(answerer.boxes.size(), 2u);
        QCOMPARE(dialog.findChild<QProgressBar*>()->value(), 0);
    }

    void closingUnlinksAndReleases() {
        const QString path = MakeFile("held.txt", "x");
        for (int way = 0; way < 4; ++way) {
            QPointer<CFileTransferDlg> dialog = new CFileTransferDlg(nullptr);
            dialog->BindContact(contact_);
            dialog->TakeFile(path);
            QPointer<const QFile> held = dialog->OpenFile();
            dialog->show();
            switch (way) {
                case 0:
                    FindButton(*dialog, "Cancel")->click();
                    break;
                case 1:
                    QTest::keyClick(dialog, Qt::Key_Escape);
                    break;
                case 2:
                    dialog->close();  // the close box
                    break;
                default:
                    dialog->DetachAndClose();
                    break;
            }
            QVERIFY(contact_.fileTransfer.isNull());
            QVERIFY(held.isNull());
            QTRY_VERIFY(dialog.isNull());  // deleted once the event loop runs
        }
    }
};

QTEST_MAIN(FileTransferTest)
#include "test_file_transfer.moc"

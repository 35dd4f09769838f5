#include "ui/filetransfer/file_transfer_dlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "core/contact.h"
#include "ui/common/dialog_controls.h"
#include "ui/common/plain_text.h"
#include "ui/common/window_modal.h"
#include "ui/filetransfer/file_transfer_dlg_table.h"

namespace tollix {

using namespace file_transfer_table;

namespace {

const QString kError = QStringLiteral("Error!");

}  // namespace

CFileTransferDlg::CFileTransferDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    controls_ = dialog::BuildDialog(this, kDialog);
    connect(controls_.Get<QPushButton>(kBrowse), &QPushButton::clicked, this,
            &CFileTransferDlg::OnBrowse);
    connect(controls_.Get<QPushButton>(kOk), &QPushButton::clicked, this,
            &CFileTransferDlg::OnSend);
    connect(controls_.Get<QPushButton>(kCancel), &QPushButton::clicked, this,
            &CFileTransferDlg::reject);
}

CFileTransferDlg::~CFileTransferDlg() {
    Release();
}

void CFileTransferDlg::BindContact(Contact& contact) {
    contact_ = &contact;
    contact.fileTransfer = this;
    const QString first = QString::fromStdString(contact.firstName);
    const QString last = QString::fromStdString(contact.secondName);
    setWindowTitle(LiteralWindowTitle(
        QStringLiteral("%1: %2 %3").arg(QStringLiteral("Send file to"), first, last)));
    controls_.Get<QLabel>(kPeerLabel)->setText(QStringLiteral("To:"));
    controls_.Get<QLabel>(kPathLabel)->setText(QStringLiteral("File path:"));
    SetField(kPeerName, first + u' ' + last);
    controls_.Get<QPushButton>(kOk)->setText(QStringLiteral("Send"));
}

void CFileTransferDlg::DetachAndClose() {
    Release();
    close();
}

void CFileTransferDlg::OnBrowse() {
    OpenChooser(false);
}

void CFileTransferDlg::OnSend() {
    if (filePath_.isEmpty()) {
        OpenChooser(true);  // the box follows a choice; cancelling shows nothing
        return;
    }
    ShowNotImplemented();
}

void CFileTransferDlg::OpenChooser(bool thenSend) {
    auto* chooser = new QFileDialog(this);
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setDirectory(QDir::currentPath());
    // Shown as "All files (*.*)"; the pattern that applies is "*", since here a file name
    // needs no dot.
    chooser->setOption(QFileDialog::HideNameFilterDetails);
    chooser->setNameFilter(QStringLiteral("All files (*.*) (*)"));
    connect(chooser, &QFileDialog::fileSelected, this, [this, thenSend](const QString& path) {
        TakeFile(path);
        if (thenSend) {
            ShowNotImplemented();
        }
    });
    OpenWindowModal(chooser);
}

void CFileTransferDlg::ShowNotImplemented() {
    // Shown directly, not through the alert service: it answers the button every time.
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Tollix"),
                        QStringLiteral("Not implemented yet!\nSorry :-)"), QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    OpenWindowModal(box);
}

void CFileTransferDlg::TakeFile(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    filePath_ = path;
    file_.reset();  // the earlier choice is released first

    auto file = std::make_unique<QFile>(path);
    if (file->open(QIODevice::ReadOnly | QIODevice::ExistingOnly)) {
        const QFileInfo info(*file);
        QString folder = info.absolutePath();
        if (!folder.endsWith(u'/')) {
            folder += u'/';
        }
        SetField(kFileName, info.fileName());
        SetField(kFolder, folder);
        SetField(kFileSize, QString::asprintf("%ld bytes", static_cast<long>(file->size())));
        file_ = std::move(file);
    } else {
        SetField(kFileName, kError);
        SetField(kFolder, kError);
        SetField(kFileSize, kError);
    }
}

void CFileTransferDlg::accept() {}

void CFileTransferDlg::reject() {
    close();
}

void CFileTransferDlg::closeEvent(QCloseEvent* event) {
    Release();
    event->accept();
}

void CFileTransferDlg::SetField(int id, const QString& text) {
    controls_.Get<QLineEdit>(id)->setText(text);
}

void CFileTransferDlg::Release() {
    file_.reset();
    if (contact_ != nullptr && contact_->fileTransfer == this) {
        contact_->fileTransfer = nullptr;
    }
    contact_ = nullptr;
}

}  // namespace tollix

#include "ui/filetransfer/file_transfer_dlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "core/contact.h"
#include "session/file_transfers.h"
#include "ui/common/data_size.h"
#include "ui/common/dialog_controls.h"
#include "ui/common/dropped_files.h"
#include "ui/common/plain_text.h"
#include "ui/common/window_modal.h"
#include "ui/filetransfer/file_transfer_dlg_table.h"

namespace tollix {

using namespace file_transfer_table;

namespace {

const QString kError = QStringLiteral("Error!");
// The progress bar's steps: fine enough for files of any size.
constexpr int kProgressSteps = 1000;

// "12.0 MB of 80.0 MB, 9.5 MB/s, 7 s left".
QString ProgressText(qint64 done, qint64 total, qint64 elapsedMs) {
    QString text = DataSizeText(done) + " of " + DataSizeText(total);
    if (elapsedMs >= 500 && done > 0) {
        const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
        const auto left = static_cast<qint64>(static_cast<double>(total - done) / rate);
        text += ", " + DataSizeText(static_cast<qint64>(rate)) + "/s, " + QString::number(left) +
                " s left";
    }
    return text;
}

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
    controls_.Get<QProgressBar>(kProgress)->setRange(0, kProgressSteps);
    controls_.Get<QLabel>(kStatus)->setTextFormat(Qt::PlainText);
    setAcceptDrops(true);
}

void CFileTransferDlg::SetSender(FileTransfers* files,
                                 std::function<bool(const Contact&)> takesFiles) {
    files_ = files;
    takesFiles_ = std::move(takesFiles);
    if (files_ != nullptr) {
        connect(files_, &FileTransfers::progress, this, &CFileTransferDlg::OnProgress);
        connect(files_, &FileTransfers::finished, this, &CFileTransferDlg::OnFinished);
    }
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
    Send();
}

void CFileTransferDlg::Send() {
    if (IsSending()) {
        return;
    }
    if (files_ == nullptr || contact_ == nullptr || !takesFiles_ || !takesFiles_(*contact_)) {
        ShowNotImplemented();
        return;
    }
    file_.reset();  // the engine reads the files itself
    transfer_ = files_->Offer(QString::fromStdString(contact_->address), paths_);
    started_.invalidate();
    SetSendingControls(true);
    controls_.Get<QLabel>(kStatus)->setText(QStringLiteral("Waiting for %1 to accept...")
                                                .arg(QString::fromStdString(contact_->firstName)));
}

void CFileTransferDlg::OnProgress(const QString& id, qint64 done, qint64 total) {
    if (id != transfer_) {
        return;
    }
    if (!started_.isValid()) {
        started_.start();  // accepted: the rate counts from the first bytes
    }
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
    controls_.Get<QProgressBar>(kProgress)->setValue(static_cast<int>(share * kProgressSteps));
    controls_.Get<QLabel>(kStatus)->setText(ProgressText(done, total, started_.elapsed()));
}

void CFileTransferDlg::OnFinished(const QString& id, FileFailure failure, const QString& reason) {
    if (id != transfer_) {
        return;
    }
    transfer_.clear();
    SetSendingControls(false);
    if (failure == FileFailure::None) {
        controls_.Get<QProgressBar>(kProgress)->setValue(kProgressSteps);
        controls_.Get<QLabel>(kStatus)->setText(QStringLiteral("Sent."));
    } else {
        controls_.Get<QLabel>(kStatus)->setText(QStringLiteral("Not sent: ") + reason);
    }
}

void CFileTransferDlg::SetSendingControls(bool sending) {
    controls_.Get<QPushButton>(kOk)->setEnabled(!sending);
    controls_.Get<QPushButton>(kBrowse)->setEnabled(!sending);
}

QString CFileTransferDlg::StatusText() const {
    return controls_.Get<QLabel>(kStatus)->text();
}

void CFileTransferDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!IsSending() && !DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CFileTransferDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedFiles(event->mimeData());
    if (!IsSending() && !paths.isEmpty()) {
        TakeFiles(paths);
        event->acceptProposedAction();
    }
}

void CFileTransferDlg::OpenChooser(bool thenSend) {
    auto* chooser = new QFileDialog(this);
    chooser->setFileMode(QFileDialog::ExistingFiles);
    chooser->setDirectory(QDir::currentPath());
    // Shown as "All files (*.*)"; the pattern that applies is "*", since here a file name
    // needs no dot.
    chooser->setOption(QFileDialog::HideNameFilterDetails);
    chooser->setNameFilter(QStringLiteral("All files (*.*) (*)"));
    connect(chooser, &QFileDialog::filesSelected, this, [this, thenSend](const QStringList& paths) {
        TakeFiles(paths);
        if (thenSend && !paths.isEmpty()) {
            Send();
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

void CFileTransferDlg::TakeFiles(const QStringList& paths) {
    if (paths.size() <= 1) {
        TakeFile(paths.value(0));
        return;
    }
    TakeFile(paths.first());
    if (file_ == nullptr) {
        return;  // the first cannot be read: "Error!" says so
    }
    paths_ = paths;
    QStringList names;
    qint64 total = 0;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        names << info.fileName();
        total += info.size();
    }
    SetField(kFileName, names.join(QStringLiteral(", ")));
    SetField(kFileSize, QString::asprintf("%ld bytes", static_cast<long>(total)) +
                            QStringLiteral(" in %1 files").arg(paths.size()));
}

void CFileTransferDlg::TakeFile(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    filePath_ = path;
    paths_ = QStringList{path};
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
    if (IsSending()) {
        files_->Cancel(std::exchange(transfer_, {}));  // the other side hears it too
    }
    close();
}

void CFileTransferDlg::closeEvent(QCloseEvent* event) {
    if (IsSending()) {
        files_->Cancel(std::exchange(transfer_, {}));
    }
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

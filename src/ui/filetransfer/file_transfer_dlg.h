#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "session/file_failure.h"

#include "ui/common/dialog_controls.h"

namespace tollix {

class FileTransfers;
struct Contact;

// Sends files to one contact: the user picks one or more files (or drops them on it) and
// sees the name, folder and size. To a contact whose program takes files over a private
// session, "Send" offers them; the progress bar, bytes done, rate and time left follow, and
// Cancel stops the transfer on both sides. To any other contact "Send" says that sending is
// not implemented, as the open protocol has no way to carry a file.
// Modeless, one per contact; it deletes itself when closed (Cancel, Escape, close box).
// The chosen file stays open for reading until another is chosen or the dialog goes.
// Its chooser and box are modal to it alone and run no nested event loop, so the contact
// may leave (which closes the dialog) while either is open.
class CFileTransferDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFileTransferDlg(QWidget* owner);
    ~CFileTransferDlg() override;

    // The transfers that carry files, and whether the bound contact's program takes them;
    // without them every "Send" says it is not implemented.
    void SetSender(FileTransfers* files, std::function<bool(const Contact&)> takesFiles);
    // Links the dialog and the contact both ways and shows the contact's name.
    void BindContact(Contact& contact);
    // Forgets the contact, clearing its link to this dialog, then closes. For the main
    // window, right before the contact is destroyed.
    void DetachAndClose();
    Contact* BoundContact() const { return contact_; }

    // The "..." button: opens the open-file dialog (all files, an existing one, starting
    // in the current folder); the file chosen there is opened.
    void OnBrowse();
    // The "Send" button (and Enter): the "Not implemented yet!" box, after the open-file
    // dialog when no file has been chosen yet.
    void OnSend();
    // Takes the open-file dialog's answer: opens the file and shows its name, folder and
    // size, or "Error!" when it cannot be opened. An empty path changes nothing.
    void TakeFile(const QString& path);
    // Several files: the first one's folder, all their names and their total size.
    void TakeFiles(const QStringList& paths);
    QString StatusText() const;
    bool IsSending() const { return !transfer_.isEmpty(); }

    QString FilePath() const { return filePath_; }
    // The chosen file while it is open, else nullptr.
    const QFile* OpenFile() const { return file_.get(); }

    void accept() override;  // Send is not an end of the dialog
    void reject() override;  // Cancel and Escape close it

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OpenChooser(bool thenSend);
    void ShowNotImplemented();
    // Offers the chosen files, or says it cannot.
    void Send();
    void OnProgress(const QString& id, qint64 done, qint64 total);
    void OnFinished(const QString& id, FileFailure failure, const QString& reason);
    void SetSendingControls(bool sending);
    void SetField(int id, const QString& text);
    // Closes the file and unlinks the contact: when closed and when destroyed.
    void Release();

    dialog::DialogControls controls_;
    Contact* contact_ = nullptr;
    QString filePath_;
    QStringList paths_;
    std::unique_ptr<QFile> file_;
    FileTransfers* files_ = nullptr;
    std::function<bool(const Contact&)> takesFiles_;
    QString transfer_;  // the offer under way
    QElapsedTimer started_;
};

}  // namespace tollix

#pragma once

#include <QDialog>
#include <QFile>
#include <QString>
#include <memory>

#include "ui/common/dialog_controls.h"

namespace tollix {

struct Contact;

// Prepares sending a file to one contact: the user picks a file and sees its name,
// folder and size. Sending itself does not exist in the protocol, so "Send" only says so.
// Modeless, one per contact; it deletes itself when closed (Cancel, Escape, close box).
// The chosen file stays open for reading until another is chosen or the dialog goes.
// Its chooser and box are modal to it alone and run no nested event loop, so the contact
// may leave (which closes the dialog) while either is open.
class CFileTransferDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFileTransferDlg(QWidget* owner);
    ~CFileTransferDlg() override;

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

    QString FilePath() const { return filePath_; }
    // The chosen file while it is open, else nullptr.
    const QFile* OpenFile() const { return file_.get(); }

    void accept() override;  // Send is not an end of the dialog
    void reject() override;  // Cancel and Escape close it

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OpenChooser(bool thenSend);
    void ShowNotImplemented();
    void SetField(int id, const QString& text);
    // Closes the file and unlinks the contact: when closed and when destroyed.
    void Release();

    dialog::DialogControls controls_;
    Contact* contact_ = nullptr;
    QString filePath_;
    std::unique_ptr<QFile> file_;
};

}  // namespace tollix

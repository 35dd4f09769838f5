#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <string>

#include "session/file_transfers.h"

namespace tollix {

class CMsgFrame;
class CTollixApp;
class ConversationTexts;
struct Contact;

// File transfers as the desktop shows them, in the contact's conversation:
// - an offer comes like a text from the contact (stored, unread until seen, opening its
//   window within the window limit, with a desktop notification) and waits in the window's
//   offer bar for Accept (the download folder), "Save as..." or Decline;
// - how each transfer ended, either way, is stored and shown as a line of the conversation:
//   the files, their size, and done (with a link to the folder), declined, cancelled or
//   failed with why.
// An offer from an address that is not a listed contact cannot be shown, and is declined.
class DesktopFileTransfers : public QObject {
    Q_OBJECT

public:
    DesktopFileTransfers(CTollixApp& app, ConversationTexts& texts, FileTransfers& files,
                         QObject* parent = nullptr);

    FileTransfers& Files() { return files_; }
    // Whether files can go to the contact: the sessions run, and its program has not been
    // found to write only to the open group.
    bool TakesFiles(const Contact& contact) const;
    // A conversation window that was just made: its bar answers its contact's offers.
    void Attach(CMsgFrame& window);
    // Answers an offer: into `folder`, or declines it when `folder` is empty.
    void Answer(const QString& id, const QString& folder);

private:
    struct Transfer {
        std::string address;
        bool outgoing = false;
        QStringList names;
        qint64 size = 0;
        QString folder;         // where accepted files go (received ones)
        bool answered = false;  // an offer to this copy, accepted or declined
    };

    void OnOfferMade(const QString& id, const QString& address, const QStringList& paths);
    void OnOffer(const IncomingOffer& offer);
    void OnFinished(const QString& id, FileFailure failure, const QString& reason);
    // The window's bar shows the contact's oldest offer that waits, or hides.
    void Refresh(const std::string& address);
    void SaveAs(CMsgFrame& window, const QString& id);
    // "report.pdf (1.2 MB)", or "3 files, 4.5 MB: a, b, c".
    static QString FilesText(const Transfer& transfer);

    CTollixApp& app_;
    ConversationTexts& texts_;
    FileTransfers& files_;
    QHash<QString, Transfer> transfers_;  // under way, both ways
    QStringList waiting_;                 // offers to this copy not yet answered, oldest first
};

}  // namespace tollix

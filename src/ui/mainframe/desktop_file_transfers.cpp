#include "ui/mainframe/desktop_file_transfers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>

#include "core/download_folder.h"
#include "core/private_conversations.h"
#include "core/tollix_app.h"
#include "ui/common/data_size.h"
#include "ui/common/window_modal.h"
#include "ui/conversation/msg_frame.h"
#include "ui/conversation/offer_bar.h"
#include "ui/mainframe/conversation_texts.h"

namespace tollix {

namespace {

const TextMark kPrivateMark{Privacy::Private, Delivery::None, {}};

}  // namespace

DesktopFileTransfers::DesktopFileTransfers(CTollixApp& app, ConversationTexts& texts,
                                           FileTransfers& files, QObject* parent)
    : QObject(parent), app_(app), texts_(texts), files_(files) {
    connect(&files_, &FileTransfers::offerMade, this, &DesktopFileTransfers::OnOfferMade);
    connect(&files_, &FileTransfers::offerReceived, this, &DesktopFileTransfers::OnOffer);
    connect(&files_, &FileTransfers::finished, this, &DesktopFileTransfers::OnFinished);
}

bool DesktopFileTransfers::TakesFiles(const Contact& contact) const {
    const PrivateConversations::State state = app_.Private().StateOf(contact.address);
    return files_.TakesOffers() && state != PrivateConversations::State::Off &&
           state != PrivateConversations::State::OpenOnly;
}

void DesktopFileTransfers::Attach(CMsgFrame& window) {
    OfferBar* bar = window.Offers();
    connect(bar, &OfferBar::acceptRequested, this,
            [this](const QString& id) { Answer(id, DownloadFolder(app_.Settings())); });
    connect(bar, &OfferBar::saveAsRequested, this,
            [this, &window](const QString& id) { SaveAs(window, id); });
    connect(bar, &OfferBar::declineRequested, this, [this](const QString& id) { Answer(id, {}); });
    if (const Contact* contact = window.GetContact()) {
        Refresh(contact->address);
    }
}

QString DesktopFileTransfers::FilesText(const Transfer& transfer) {
    if (transfer.names.size() == 1) {
        return transfer.names.first() + " (" + DataSizeText(transfer.size) + ")";
    }
    return QString::number(transfer.names.size()) + " files, " + DataSizeText(transfer.size) +
           ": " + transfer.names.join(", ");
}

void DesktopFileTransfers::OnOfferMade(const QString& id, const QString& address,
                                       const QStringList& paths) {
    Transfer transfer{address.toStdString(), true, {}, 0, {}, true};
    for (const QString& path : paths) {
        const QFileInfo file(path);
        transfer.names << file.fileName();
        transfer.size += file.size();
    }
    transfers_.insert(id, transfer);
}

void DesktopFileTransfers::OnOffer(const IncomingOffer& offer) {
    Transfer transfer{offer.address.toStdString(), false, {}, 0, {}, false};
    for (const OfferedFile& file : offer.files) {
        transfer.names << file.name;
        transfer.size += file.size;
    }
    Contact* contact = app_.Contacts().FindContact(transfer.address);
    if (contact == nullptr) {
        files_.Decline(offer.id);  // no conversation to show it in
        return;
    }
    transfers_.insert(offer.id, transfer);
    waiting_ << offer.id;
    const QString line =
        (transfer.names.size() == 1 ? "Offers you a file: " : "Offers you ") + FilesText(transfer);
    texts_.OnText(*contact, line.toStdString(), false, kPrivateMark);
    Refresh(transfer.address);
}

void DesktopFileTransfers::Answer(const QString& id, const QString& folder) {
    auto found = transfers_.find(id);
    if (found == transfers_.end() || found->answered) {
        return;
    }
    found->answered = true;
    found->folder = folder;
    waiting_.removeOne(id);
    const std::string address = found->address;
    if (folder.isEmpty()) {
        files_.Decline(id);
    } else {
        QDir().mkpath(folder);  // ~/Downloads may not exist yet
        files_.Accept(id, folder);
    }
    Refresh(address);
}

void DesktopFileTransfers::SaveAs(CMsgFrame& window, const QString& id) {
    auto* chooser =
        new QFileDialog(&window, QStringLiteral("Save as..."), DownloadFolder(app_.Settings()));
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    connect(chooser, &QFileDialog::fileSelected, this,
            [this, id](const QString& folder) { Answer(id, folder); });
    OpenWindowModal(chooser);
}

void DesktopFileTransfers::OnFinished(const QString& id, FileFailure failure,
                                      const QString& reason) {
    const auto found = transfers_.constFind(id);
    if (found == transfers_.constEnd()) {
        return;
    }
    const Transfer transfer = *found;
    transfers_.erase(found);
    if (waiting_.removeOne(id)) {
        Refresh(transfer.address);  // it ended before an answer: withdrawn or too many
    }
    Contact* contact = app_.Contacts().FindContact(transfer.address);
    if (contact == nullptr) {
        return;
    }
    QString line;
    if (failure == FileFailure::None) {
        // The folder as a link, so that one click opens it.
        line = transfer.outgoing
                   ? "Sent " + FilesText(transfer)
                   : "Received " + FilesText(transfer) + " in " +
                         QUrl::fromLocalFile(transfer.folder + '/').toString(QUrl::FullyEncoded);
    } else if (!transfer.outgoing && transfer.folder.isEmpty() &&
               failure == FileFailure::Declined) {
        line = "Declined " + FilesText(transfer);
    } else {
        line = (transfer.outgoing ? "Not sent: " : "Not received: ") + FilesText(transfer) + ": " +
               reason;
    }
    texts_.OnNote(*contact, line.toStdString(), transfer.outgoing, kPrivateMark);
}

void DesktopFileTransfers::Refresh(const std::string& address) {
    Contact* contact = app_.Contacts().FindContact(address);
    CMsgFrame* window = contact != nullptr ? CMsgFrame::Of(*contact) : nullptr;
    if (window == nullptr) {
        return;
    }
    for (const QString& id : std::as_const(waiting_)) {
        const Transfer& transfer = transfers_[id];
        if (transfer.address == address) {
            window->Offers()->ShowOffer(id, QString::fromStdString(contact->DisplayName()) +
                                                " offers " + FilesText(transfer));
            return;
        }
    }
    window->Offers()->ShowOffer({}, {});
}

}  // namespace tollix

#include "file_commands.h"

#include <QDir>
#include <QFileInfo>

#include "core/download_folder.h"
#include "core/private_conversations.h"
#include "session/messages.h"
#include "terminal_peer.h"

namespace tollix {

namespace {

std::string Text(const QString& text) {
    return text.toStdString();
}

}  // namespace

FileCommands::FileCommands(CTollixApp& app, FileTransfers& files, TerminalOutput& out)
    : app_(app), files_(files), out_(out) {
    connect(&files_, &FileTransfers::offerReceived, this, &FileCommands::Offered);
    connect(&files_, &FileTransfers::progress, this,
            [this](const QString& id, qint64 done, qint64) {
                out_.WriteLine({"file", "progress", Text(id), std::to_string(done)});
            });
    connect(&files_, &FileTransfers::fileDone, this,
            [this](const QString& id, int, const QString& path, const QString& sha256) {
                out_.WriteLine({"file", "done", Text(id), Text(path), Text(sha256)});
            });
    connect(&files_, &FileTransfers::finished, this, &FileCommands::Finished);
}

bool FileCommands::Execute(const std::string& command, std::istringstream& arguments) {
    if (command == "sendfile") {
        SendFile(arguments);
    } else if (command == "accept" || command == "decline" || command == "cancel") {
        Answer(command, arguments);
    } else {
        return false;
    }
    return true;
}

void FileCommands::SendFile(std::istringstream& arguments) {
    std::string address;
    arguments >> address;
    QStringList paths;
    for (std::string path; arguments >> path;) {
        paths << QString::fromStdString(TerminalPeer::Unescape(path));
    }
    if (address.empty() || paths.isEmpty()) {
        out_.Complain("usage: sendfile ADDRESS PATH...");
        return;
    }
    for (const QString& path : std::as_const(paths)) {
        if (!QFileInfo(path).isFile()) {
            out_.Complain("sendfile: " + Text(path) + " is not a file that can be read");
            return;
        }
    }
    // A contact known to write only to the open group has no session to carry files.
    const PrivateConversations::State state = app_.Private().StateOf(address);
    const bool noSessions =
        state == PrivateConversations::State::Off || state == PrivateConversations::State::OpenOnly;
    if (noSessions) {
        out_.WriteLine({"file", "failed", Text(NewTextId()),
                        Text(FileFailureText(FileFailure::CannotReceiveFiles))});
        return;
    }
    const QString id = files_.Offer(QString::fromStdString(address), paths);
    for (const QString& path : std::as_const(paths)) {
        const QFileInfo file(path);
        out_.WriteLine({"file", "sending", Text(id), address, Text(file.fileName()),
                        std::to_string(file.size())});
    }
}

void FileCommands::Answer(const std::string& command, std::istringstream& arguments) {
    std::string id;
    std::string folder;
    arguments >> id >> folder;
    if (id.empty() || (command != "accept" && !folder.empty())) {
        out_.Complain("usage: " + command + (command == "accept" ? " ID [DIR]" : " ID"));
        return;
    }
    const QString offer = QString::fromStdString(id);
    bool known = false;
    if (command == "accept") {
        const QString into = folder.empty()
                                 ? DownloadFolder(app_.Settings())
                                 : QString::fromStdString(TerminalPeer::Unescape(folder));
        QDir().mkpath(into);  // the download folder may not exist yet
        known = files_.Accept(offer, into);
    } else {
        known = command == "decline" ? files_.Decline(offer) : files_.Cancel(offer);
    }
    if (!known) {
        out_.Complain(command + ": no " + (command == "cancel" ? "transfer" : "offer") + " " + id +
                      " (the IDs are in the file events)");
    }
}

void FileCommands::Offered(const IncomingOffer& offer) {
    for (const OfferedFile& file : offer.files) {
        out_.WriteLine({"file", "offer", Text(offer.id), Text(offer.address), Text(file.name),
                        std::to_string(file.size)});
    }
    if (!acceptInto_.isEmpty()) {
        QDir().mkpath(acceptInto_);
        files_.Accept(offer.id, acceptInto_);
    }
}

void FileCommands::Finished(const QString& id, FileFailure failure, const QString& reason) {
    if (failure != FileFailure::None) {
        out_.WriteLine({"file", "failed", Text(id), Text(reason)});
    }
}

}  // namespace tollix

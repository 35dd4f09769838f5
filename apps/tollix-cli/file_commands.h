#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <sstream>
#include <string>

#include "core/tollix_app.h"
#include "session/file_transfers.h"
#include "terminal_output.h"

namespace tollix {

// The terminal peer's files: `sendfile`, `accept`, `decline` and `cancel`, and a `file`
// event for each offer, progress, file done and transfer failed.
class FileCommands : public QObject {
    Q_OBJECT

public:
    FileCommands(CTollixApp& app, FileTransfers& files, TerminalOutput& out);

    // Every offer from now on is accepted into `folder` (--accept-files).
    void AcceptEveryOfferInto(const QString& folder) { acceptInto_ = folder; }
    // Runs `command` when it is one of the file commands; false when it is not.
    bool Execute(const std::string& command, std::istringstream& arguments);

private:
    void SendFile(std::istringstream& arguments);
    void Answer(const std::string& command, std::istringstream& arguments);
    void Offered(const IncomingOffer& offer);
    void Finished(const QString& id, FileFailure failure, const QString& reason);

    CTollixApp& app_;
    FileTransfers& files_;
    TerminalOutput& out_;
    QString acceptInto_;
};

}  // namespace tollix

#pragma once

#include <QString>
#include <optional>

#include "session/identity.h"

namespace tollix {

// DATA/Quardell/Tollix/identity.pem, beside the history; DATA is the user's data folder
// ($XDG_DATA_HOME or ~/.local/share) or the folder given with --config.
QString IdentityFilePath(const QString& dataDir);

struct IdentityResult {
    std::optional<Identity> identity;
    QString error;   // why there is none: the folder or the file cannot be used
    QString notice;  // set once, when a damaged file was moved aside for a new identity
};

// Reads this copy's identity, or makes one on first use. The folders it makes are 0700, the
// Tollix folder is made private if it is not, and the file is 0600 from its first byte on.
// Several processes of one user (the desktop program and tollix-cli) may call it at once and
// end with one identity: the folder is locked meanwhile, and a new file is written beside
// and linked into place, never over an existing one. A file that cannot be read as an
// identity is never deleted: it is moved aside as identity.pem.corrupt-YYYYMMDD-HHMMSS
// (UTC) and a new identity is made. Blocks on the disk and on key making: call it off the
// event loop (IdentityLoader).
IdentityResult LoadOrCreateIdentity(const QString& dataDir);

}  // namespace tollix

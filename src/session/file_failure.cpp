#include "session/file_failure.h"

#include <array>
#include <utility>

namespace tollix {

namespace {

struct Words {
    FileFailure failure;
    const char* code;
    const char* text;
};

constexpr std::array kWords{
    Words{FileFailure::None, "", ""},
    Words{FileFailure::Refused, "refused", "refused"},
    Words{FileFailure::NoAnswer, "no-answer", "no answer (a firewall may block TCP port %1)"},
    Words{FileFailure::CannotReceiveFiles, "cannot-receive-files",
          "this contact's program cannot receive files"},
    Words{FileFailure::Declined, "declined", "declined"},
    Words{FileFailure::TooManyOffers, "too-many-offers", "declined: too many offers waiting"},
    Words{FileFailure::Cancelled, "cancelled", "cancelled"},
    Words{FileFailure::ConnectionLost, "connection-lost", "the connection was lost"},
    Words{FileFailure::Stalled, "stalled", "stalled: no progress for 60 seconds"},
    Words{FileFailure::DiskFull, "disk-full", "the disk is full"},
    Words{FileFailure::WriteError, "write-error", "the file cannot be written"},
    Words{FileFailure::ReadError, "read-error", "the file cannot be read"},
    Words{FileFailure::FileChanged, "file-changed", "the file changed while it was sent"},
    Words{FileFailure::WrongHash, "wrong-hash",
          "wrong SHA-256: the file arrived damaged and was removed"},
    Words{FileFailure::TooManyBytes, "too-many-bytes", "more bytes than offered"},
    Words{FileFailure::Incomplete, "incomplete", "fewer bytes than offered"},
    Words{FileFailure::Malformed, "malformed", "the other program broke the file protocol"},
    Words{FileFailure::ShuttingDown, "shutting-down", "the program was ending"},
    Words{FileFailure::Other, "other", "failed"},
};

const Words& WordsOf(FileFailure failure) {
    for (const Words& words : kWords) {
        if (words.failure == failure) {
            return words;
        }
    }
    return kWords.back();
}

}  // namespace

QString FileFailureText(FileFailure failure, bool byPeer, quint16 port) {
    QString text = QString::fromUtf8(WordsOf(failure).text);
    if (failure == FileFailure::NoAnswer) {
        text = text.arg(port);
    }
    if (!byPeer || failure == FileFailure::Declined || failure == FileFailure::TooManyOffers) {
        return text;
    }
    return failure == FileFailure::Cancelled ? "cancelled by the other side"
                                             : "the other side: " + text;
}

QString FileFailureCode(FileFailure failure) {
    return QString::fromLatin1(WordsOf(failure).code);
}

FileFailure FileFailureFromCode(const QString& code) {
    for (const Words& words : kWords) {
        if (words.failure != FileFailure::None && code == QLatin1String(words.code)) {
            return words.failure;
        }
    }
    return FileFailure::Other;
}

QString FileError::Text(quint16 port) const {
    const QString text = FileFailureText(failure, byPeer, port);
    return detail.isEmpty() ? text : text + " (" + detail + ")";
}

}  // namespace tollix

#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace tollix {

// The decisions that let a broken transfer go on where it stopped. The receiver states the
// bytes of the file it holds and their SHA-256; the sender goes on from there when its own
// first bytes have the same hash, else from 0; the receiver takes DATA only where it follows
// what it holds, or from 0 when the sender starts over.

// The bytes of a .part the receiver asks to keep: all of them, unless the .part is longer
// than the file offered (then it is not a prefix of it and starts over).
qint64 HeldPrefix(qint64 partBytes, qint64 offeredSize);

// Where the sender starts a file of `size` bytes that the receiver holds `asked` bytes of:
// there when its own first `asked` bytes hash to `theirSha`, else 0. -1 when `asked` is
// past the end: the receiver broke the protocol.
qint64 SenderStart(qint64 asked, const QByteArray& theirSha, const QByteArray& ourSha, qint64 size);

enum class DataVerdict {
    Append,        // the bytes follow what is held
    StartOver,     // the sender starts from 0: what is held goes
    TooManyBytes,  // they would go past the size offered
    OutOfOrder,    // neither follows what is held nor starts the file
};
// DATA of `length` bytes at `offset` for a file of `size`, of which `held` bytes are held
// or on their way to the disk; `first` for the file's first DATA of this transfer.
DataVerdict JudgeData(qint64 held, bool first, qint64 offset, qint64 length, qint64 size);

}  // namespace tollix

#include "session/file_resume.h"

namespace tollix {

qint64 HeldPrefix(qint64 partBytes, qint64 offeredSize) {
    return partBytes <= offeredSize ? partBytes : 0;
}

qint64 SenderStart(qint64 asked, const QByteArray& theirSha, const QByteArray& ourSha,
                   qint64 size) {
    if (asked < 0 || asked > size) {
        return -1;
    }
    return asked > 0 && !ourSha.isEmpty() && ourSha == theirSha ? asked : 0;
}

DataVerdict JudgeData(qint64 held, bool first, qint64 offset, qint64 length, qint64 size) {
    const bool startsOver = first && offset == 0 && held > 0;
    if (offset != held && !startsOver) {
        return DataVerdict::OutOfOrder;
    }
    if (length > size - offset) {
        return DataVerdict::TooManyBytes;
    }
    return startsOver ? DataVerdict::StartOver : DataVerdict::Append;
}

}  // namespace tollix

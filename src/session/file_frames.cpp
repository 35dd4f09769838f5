#include "session/file_frames.h"

#include <QJsonArray>
#include <QtEndian>

#include "session/control_json.h"
#include "session/messages.h"

namespace tollix {

namespace {

constexpr qsizetype kShaBytes = 32;

Frame FrameOf(FileKind kind, const QJsonObject& object) {
    return ControlFrame(static_cast<std::uint8_t>(kind), object);
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

std::optional<QString> OfferAt(const QJsonObject& object) {
    std::optional<QString> id = StringAt(object, "offer", 32);
    return id && IsTextId(*id) ? id : std::nullopt;
}

// 64 lower-case hexadecimal digits, as 32 bytes.
std::optional<QByteArray> ShaAt(const QJsonObject& object, const char* key) {
    const std::optional<QString> hex = StringAt(object, key, 2 * kShaBytes);
    if (!hex || hex->size() != 2 * kShaBytes || !IsTextId(hex->left(32)) ||
        !IsTextId(hex->mid(32))) {
        return std::nullopt;
    }
    return QByteArray::fromHex(hex->toLatin1());
}

std::optional<QString> ReasonAt(const QJsonObject& object, const char* fallback) {
    return StringAt(object, "reason", kMaxReasonCodeBytes, QString::fromLatin1(fallback));
}

std::optional<int> FileAt(const QJsonObject& object) {
    const std::optional<qint64> file = WholeAt(object, "file", 0, kMaxFilesPerOffer - 1);
    return file ? std::optional<int>(static_cast<int>(*file)) : std::nullopt;
}

// The entries of a required array of objects, at most `most`.
std::optional<QJsonArray> ObjectsAt(const QJsonObject& object, const char* key, qsizetype most) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray() || value.toArray().size() > most) {
        return std::nullopt;
    }
    const QJsonArray entries = value.toArray();
    for (const QJsonValue& entry : entries) {
        if (!entry.isObject()) {
            return std::nullopt;
        }
    }
    return entries;
}

}  // namespace

Frame Encode(const FileOfferMessage& offer) {
    QJsonArray files;
    for (const OfferedFile& file : offer.files) {
        files.append(QJsonObject{{"name", file.name}, {"size", file.size}});
    }
    return FrameOf(FileKind::Offer, {{"offer", offer.offer}, {"files", files}});
}

Frame Encode(const FileAcceptMessage& accept) {
    QJsonArray files;
    for (const FileStart& file : accept.files) {
        QJsonObject entry{{"start", file.start}};
        if (file.start > 0) {
            entry.insert("sha256", Hex(file.prefixSha256));
        }
        files.append(entry);
    }
    return FrameOf(FileKind::Accept, {{"offer", accept.offer}, {"files", files}});
}

Frame Encode(FileKind kind, const FileStopMessage& stop) {
    return FrameOf(kind, {{"offer", stop.offer}, {"reason", stop.reason}});
}

Frame Encode(const FileEndMessage& end) {
    return FrameOf(FileKind::End,
                   {{"offer", end.offer}, {"file", end.file}, {"sha256", Hex(end.sha256)}});
}

Frame Encode(const FileResultMessage& result) {
    QJsonObject object{{"offer", result.offer},
                       {"file", result.file},
                       {"result", result.done ? "done" : "failed"}};
    if (!result.done) {
        object.insert("reason", result.reason);
    }
    return FrameOf(FileKind::Result, object);
}

QByteArray FileDataHeader(const QString& offer, int file, qint64 offset) {
    QByteArray header = QByteArray::fromHex(offer.toLatin1());
    header.resize(kFileDataHeaderBytes);
    qToBigEndian(static_cast<quint32>(file), header.data() + 16);
    qToBigEndian(static_cast<quint64>(offset), header.data() + 20);
    return header;
}

std::optional<FileOfferMessage> DecodeFileOffer(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    const std::optional<QString> id = object ? OfferAt(*object) : std::nullopt;
    const std::optional<QJsonArray> files =
        object ? ObjectsAt(*object, "files", kMaxFilesPerOffer) : std::nullopt;
    if (!id || !files || files->isEmpty()) {
        return std::nullopt;
    }
    FileOfferMessage offer{*id, {}};
    for (const QJsonValue& entry : *files) {
        const std::optional<QString> name =
            StringAt(entry.toObject(), "name", kMaxOfferedNameBytes);
        const std::optional<qint64> size = WholeAt(entry.toObject(), "size", 0, kMaxFileBytes);
        if (!name || !size) {
            return std::nullopt;
        }
        offer.files.append({*name, *size});
    }
    return offer;
}

std::optional<FileAcceptMessage> DecodeFileAccept(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    const std::optional<QString> id = object ? OfferAt(*object) : std::nullopt;
    const std::optional<QJsonArray> files =
        object ? ObjectsAt(*object, "files", kMaxFilesPerOffer) : std::nullopt;
    if (!id || !files) {
        return std::nullopt;
    }
    FileAcceptMessage accept{*id, {}};
    for (const QJsonValue& entry : *files) {
        const std::optional<qint64> start = WholeAt(entry.toObject(), "start", 0, kMaxFileBytes);
        if (!start) {
            return std::nullopt;
        }
        FileStart file{*start, {}};
        if (file.start > 0) {
            const std::optional<QByteArray> sha = ShaAt(entry.toObject(), "sha256");
            if (!sha) {
                return std::nullopt;
            }
            file.prefixSha256 = *sha;
        }
        accept.files.append(file);
    }
    return accept;
}

std::optional<FileStopMessage> DecodeFileStop(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    const std::optional<QString> id = object ? OfferAt(*object) : std::nullopt;
    const std::optional<QString> reason = object ? ReasonAt(*object, "") : std::nullopt;
    if (!id || !reason) {
        return std::nullopt;
    }
    return FileStopMessage{*id, *reason};
}

std::optional<FileEndMessage> DecodeFileEnd(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> id = OfferAt(*object);
    const std::optional<int> file = FileAt(*object);
    const std::optional<QByteArray> sha = ShaAt(*object, "sha256");
    if (!id || !file || !sha) {
        return std::nullopt;
    }
    return FileEndMessage{*id, *file, *sha};
}

std::optional<FileResultMessage> DecodeFileResult(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> id = OfferAt(*object);
    const std::optional<int> file = FileAt(*object);
    const std::optional<QString> result = StringAt(*object, "result", 8);
    const std::optional<QString> reason = ReasonAt(*object, "");
    if (!id || !file || !reason || !result || (*result != "done" && *result != "failed")) {
        return std::nullopt;
    }
    return FileResultMessage{*id, *file, *result == "done", *reason};
}

std::optional<FileData> DecodeFileData(const QByteArray& payload) {
    if (payload.size() <= kFileDataHeaderBytes) {
        return std::nullopt;
    }
    const quint32 file = qFromBigEndian<quint32>(payload.constData() + 16);
    const quint64 offset = qFromBigEndian<quint64>(payload.constData() + 20);
    if (file >= kMaxFilesPerOffer || offset > static_cast<quint64>(kMaxFileBytes)) {
        return std::nullopt;
    }
    return FileData{Hex(payload.left(16)), static_cast<int>(file), static_cast<qint64>(offset),
                    payload};
}

}  // namespace tollix

#include "session/control_json.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>

namespace tollix {

Frame ControlFrame(std::uint8_t kind, const QJsonObject& object) {
    return {kind, QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

std::optional<QJsonObject> ControlObject(const QByteArray& payload) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

std::optional<QString> StringAt(const QJsonObject& object, const char* key, qsizetype maxBytes,
                                std::optional<QString> fallback) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return fallback;
    }
    if (!value.isString()) {
        return std::nullopt;
    }
    QString text = value.toString();
    if (!QStringView(text).isValidUtf16() || text.toUtf8().size() > maxBytes) {
        return std::nullopt;
    }
    return text;
}

std::optional<qint64> WholeAt(const QJsonObject& object, const char* key, qint64 least,
                              qint64 most) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number != std::floor(number) || number < static_cast<double>(least) ||
        number > static_cast<double>(most)) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

QByteArray CutUtf8(QByteArray bytes, qsizetype maxBytes) {
    if (bytes.size() > maxBytes) {
        qsizetype end = maxBytes;
        while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xc0) == 0x80) {
            --end;  // bytes[end] continues a character: cut before that character
        }
        bytes.truncate(end);
    }
    return bytes;
}

}  // namespace tollix

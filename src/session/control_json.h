#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

#include "session/frame.h"

namespace tollix {

// Reading and writing the JSON objects that control frames carry. Keys a receiver does not
// know are ignored; a known key with a value of the wrong type or out of its range gives
// nothing, and so makes the frame malformed.

Frame ControlFrame(std::uint8_t kind, const QJsonObject& object);

// The payload as one JSON object; nothing for anything else.
std::optional<QJsonObject> ControlObject(const QByteArray& payload);

// A string value: missing gives `fallback` (nothing for a required key); another type, a
// string that is not valid Unicode, or one longer than `maxBytes` of UTF-8 gives nothing.
std::optional<QString> StringAt(const QJsonObject& object, const char* key, qsizetype maxBytes,
                                std::optional<QString> fallback = std::nullopt);

// A whole number from `least` to `most` (JSON numbers are exact up to 2^53).
std::optional<qint64> WholeAt(const QJsonObject& object, const char* key, qint64 least,
                              qint64 most);

// The UTF-8 bytes cut to at most `maxBytes`, before a character that would not fit whole.
QByteArray CutUtf8(QByteArray bytes, qsizetype maxBytes);

// The largest whole number a JSON number carries exactly: 2^53 - 1.
inline constexpr qint64 kMaxJsonWhole = (qint64{1} << 53) - 1;

}  // namespace tollix

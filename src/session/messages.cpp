#include "session/messages.h"

#include <QRandomGenerator>
#include <limits>

#include "session/control_json.h"

namespace tollix {

namespace {

Frame FrameOf(FrameKind kind, const QJsonObject& object) {
    return ControlFrame(static_cast<std::uint8_t>(kind), object);
}

std::optional<int> IntegerAt(const QJsonObject& object, const char* key, int least) {
    const std::optional<qint64> number =
        WholeAt(object, key, least, std::numeric_limits<int>::max());
    return number ? std::optional<int>(static_cast<int>(*number)) : std::nullopt;
}

std::optional<QString> IdAt(const QJsonObject& object) {
    std::optional<QString> id = StringAt(object, "id", 32);
    if (!id || !IsTextId(*id)) {
        return std::nullopt;
    }
    return id;
}

// The text cut to at most kMaxNameBytes of UTF-8, at a character's boundary, so that a name
// set longer in the settings file never makes this copy's HELLO malformed; what is not valid
// Unicode is replaced on the way through UTF-8.
QString Name(const QString& text) {
    return QString::fromUtf8(CutUtf8(text.toUtf8(), kMaxNameBytes));
}

}  // namespace

Frame Encode(const HelloMessage& hello) {
    return FrameOf(FrameKind::Hello, {{"version", hello.version},
                                      {"client", Name(hello.client)},
                                      {"firstName", Name(hello.firstName)},
                                      {"lastName", Name(hello.lastName)},
                                      {"group", Name(hello.group)}});
}

Frame Encode(const TextMessage& text) {
    return FrameOf(FrameKind::Text, {{"id", text.id}, {"text", text.text}});
}

Frame Encode(const AckMessage& ack) {
    return FrameOf(FrameKind::Ack, {{"id", ack.id}});
}

Frame Encode(const CloseMessage& close) {
    return FrameOf(FrameKind::Close, {{"code", close.code}, {"reason", Name(close.reason)}});
}

std::optional<HelloMessage> DecodeHello(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<int> version = IntegerAt(*object, "version", 1);
    const std::optional<QString> client = StringAt(*object, "client", kMaxNameBytes, "");
    const std::optional<QString> first = StringAt(*object, "firstName", kMaxNameBytes, "");
    const std::optional<QString> last = StringAt(*object, "lastName", kMaxNameBytes, "");
    const std::optional<QString> group = StringAt(*object, "group", kMaxNameBytes, "");
    if (!version || !client || !first || !last || !group) {
        return std::nullopt;
    }
    return HelloMessage{*version, *client, *first, *last, *group};
}

std::optional<TextMessage> DecodeText(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> id = IdAt(*object);
    const std::optional<QString> text = StringAt(*object, "text", kMaxTextBytes);
    if (!id || !text || text->isEmpty()) {
        return std::nullopt;
    }
    return TextMessage{*id, *text};
}

std::optional<AckMessage> DecodeAck(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> id = IdAt(*object);
    if (!id) {
        return std::nullopt;
    }
    return AckMessage{*id};
}

std::optional<CloseMessage> DecodeClose(const QByteArray& payload) {
    const std::optional<QJsonObject> object = ControlObject(payload);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<int> code = IntegerAt(*object, "code", 0);
    const std::optional<QString> reason = StringAt(*object, "reason", kMaxNameBytes, "");
    if (!code || !reason) {
        return std::nullopt;
    }
    return CloseMessage{*code, *reason};
}

QString NewTextId() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

bool IsTextId(const QString& id) {
    if (id.size() != 32) {
        return false;
    }
    for (const QChar c : id) {
        if (!(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'f')) {
            return false;
        }
    }
    return true;
}

}  // namespace tollix

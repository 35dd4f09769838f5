#include "protocol/message_codec.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "protocol/random_id.h"
#include "protocol/text.h"
#include "protocol/text_safety.h"
#include "protocol/version.h"

namespace tollix {

namespace {

constexpr std::string_view kStartMarker = "<<<";
constexpr std::string_view kEndMarker = ">>>";

void AppendNumber(std::string& out, std::int32_t value) {
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    out.append(digits, result.ptr);
}

// Appends `part` to a body, with a "|" first unless the body is still empty.
void AppendBodyPart(std::string& body, std::string_view part) {
    if (!body.empty()) {
        body += '|';
    }
    body += part;
}

bool CarriesClient(int type) {
    return type == MSGTYPE_HELLO || type == MSGTYPE_ONLINE || type == MSGTYPE_AWAY;
}

}  // namespace

bool MessageCodec::Build(int type, NetMessage& message, std::string_view extra,
                         const UserIdentity& user) const {
    message.SetMagic(kProtocolMagic);
    message.version = kProtocolVersion;
    message.id = RandomId();
    message.msgType = type;
    message.tunnel = 0;
    if (type < MSGTYPE_OFFLINE || type > MSGTYPE_TEXT) {
        return true;
    }
    if (CarriesClient(type)) {
        AppendBodyPart(message.body, "CLIENT=" + ClientName());
    }
    // The identity is made safe like a text: a name holding ">>>" would otherwise make every
    // receiver reject every message of this user.
    AppendBodyPart(message.body, "FIRSTNAME=" + ReplaceEnvelopeDelimiters(user.firstName) +
                                     "|SECONDNAME=" + ReplaceEnvelopeDelimiters(user.lastName) +
                                     "|GROUP=" + ReplaceEnvelopeDelimiters(user.groupName));
    if (!extra.empty()) {
        AppendBodyPart(message.body, extra);
    }
    return true;
}

std::string MessageCodec::EnvelopeText(const NetMessage& message) {
    std::string text;
    text.reserve(96 + message.from.size() + message.to.size() + message.body.size());
    text += "<<<|";
    text += message.Magic();
    text += '|';
    AppendNumber(text, message.version);
    text += "|ID=";
    AppendNumber(text, message.id);
    text += "|MSGTYPE=";
    AppendNumber(text, message.msgType);
    text += "|FROM=";
    text += message.from;
    text += ':';
    AppendNumber(text, message.fromPort);
    if (!message.to.empty()) {
        text += "|TO=";
        text += message.to;
    }
    if (message.tunnel != 0) {
        text += "|TUNNEL=";
        AppendNumber(text, message.tunnel);
    }
    if (!message.body.empty()) {
        if (message.body.front() != '|') {
            text += '|';
        }
        text += message.body;
    }
    text += text.back() == '|' ? ">>>" : "|>>>";
    return text;
}

bool MessageCodec::ArrivesWholeAfterRelay(const NetMessage& message) {
    NetMessage stamped = message;
    if (stamped.from.empty()) {
        stamped.from = "255.255.255.255";
        if (stamped.fromPort == 0) {
            stamped.fromPort = 65535;
        }
    }
    stamped.tunnel = std::numeric_limits<std::int32_t>::min();
    return EnvelopeText(stamped).size() < kMaxDatagram;  // room for the NUL
}

bool MessageCodec::Encode(const NetMessage& message, DatagramBuffer& buffer,
                          std::size_t& length) const {
    const std::string text = EnvelopeText(message);
    if (text.size() < buffer.size()) {
        std::memcpy(buffer.data(), text.data(), text.size());
        buffer[text.size()] = '\0';
        length = text.size() + 1;
    } else {
        std::memcpy(buffer.data(), text.data(), buffer.size());
        length = buffer.size();
    }
    return true;
}

bool MessageCodec::Decode(NetMessage& message, std::string_view text) const {
    if (text.size() > kMaxDatagram || !text.starts_with(kStartMarker) ||
        text.find(kEndMarker) != text.size() - kEndMarker.size()) {
        return false;
    }

    // Each field is cut out of the working copy in this order; a keyed field is found by
    // its first occurrence in what the earlier steps left, the body included.
    std::string work(text);
    NetMessage decoded;
    decoded.SetMagic(ExtractBetween(work, "|", "|"));
    decoded.version = ParseLong(ExtractBetween(work, "|", "|"));
    decoded.id = ParseLong(ExtractBetween(work, "|ID=", "|"));
    decoded.msgType = ParseLong(ExtractBetween(work, "|MSGTYPE=", "|"));
    decoded.from = ExtractBetween(work, "|FROM=", ":");
    decoded.fromPort = ParseLong(ExtractBetween(work, ":", "|"));
    decoded.to = ExtractBetween(work, "|TO=", "|");
    decoded.tunnel = ParseLong(ExtractBetween(work, "|TUNNEL=", "|"));

    // What is left between the markers is the body. "<<<>>>" leaves nothing between them
    // and so has an empty body, as "<<<|>>>" has; the markers never become body text.
    const std::size_t markers = kStartMarker.size() + kEndMarker.size();
    if (work.size() > markers + 1) {
        decoded.body = work.substr(kStartMarker.size(), work.size() - markers);
    }
    message = std::move(decoded);
    return true;
}

}  // namespace tollix

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace tollix {

// A session carries frames: a kind byte, the payload's length as four bytes (unsigned,
// most significant first), then the payload. Control frames carry a JSON object; file
// transfer will add its kinds in the range reserved for it.
enum class FrameKind : std::uint8_t {
    Hello = 0x01,
    Text = 0x02,
    Ack = 0x03,
    Close = 0x04,
};
// Kind 0 is never sent; a frame of kind 0 is malformed. Every other kind that a receiver
// does not know is read whole and skipped.
inline constexpr std::uint8_t kFirstFileKind = 0x40;  // 0x40 to 0x7f: file transfer
inline constexpr std::uint8_t kLastFileKind = 0x7f;

inline constexpr qsizetype kFrameHeaderSize = 5;
// The largest payload: room for the longest text with every byte written as a six-character
// JSON escape.
inline constexpr qsizetype kMaxFramePayload = 256 * 1024;

struct Frame {
    std::uint8_t kind = 0;
    QByteArray payload;
};

QByteArray EncodeFrame(std::uint8_t kind, QByteArrayView payload);
inline QByteArray EncodeFrame(FrameKind kind, QByteArrayView payload) {
    return EncodeFrame(static_cast<std::uint8_t>(kind), payload);
}

// Cuts whole frames out of the bytes of a stream as they arrive. A payload longer than the
// limit is refused as soon as its header is in, before its bytes are kept; after an error
// the reader stays in it.
class FrameReader {
public:
    enum class Status { NeedMore, Ready, TooLarge, Malformed };

    explicit FrameReader(qsizetype maxPayload = kMaxFramePayload) : maxPayload_(maxPayload) {}

    void Append(QByteArrayView bytes) { buffer_.append(bytes); }
    // Ready: `frame` holds the next frame, taken out of the buffer.
    Status Next(Frame& frame);
    // Bytes received that belong to no whole frame yet.
    qsizetype Buffered() const { return buffer_.size() - start_; }

private:
    qsizetype maxPayload_;
    QByteArray buffer_;
    qsizetype start_ = 0;  // where the next frame begins in buffer_
    Status error_ = Status::NeedMore;
};

}  // namespace tollix

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <deque>

class QIODevice;

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

// The kind and the length that go before a payload.
std::array<char, kFrameHeaderSize> FrameHeader(std::uint8_t kind, qsizetype payloadSize);
QByteArray EncodeFrame(std::uint8_t kind, QByteArrayView payload);
inline QByteArray EncodeFrame(FrameKind kind, QByteArrayView payload) {
    return EncodeFrame(static_cast<std::uint8_t>(kind), payload);
}

// Cuts whole frames out of the bytes of a stream as they arrive. Each byte is copied once,
// from the stream into the payload of its frame, which is made at its full length as soon as
// its header is in (a file's data then reaches the disk without another copy). A payload
// longer than the limit is refused at its header, before any of it is kept; after an error
// the reader stays in it.
class FrameReader {
public:
    enum class Status { NeedMore, Ready, TooLarge, Malformed };

    explicit FrameReader(qsizetype maxPayload = kMaxFramePayload) : maxPayload_(maxPayload) {}

    void Append(QByteArrayView bytes);
    // Reads all that the device holds.
    void ReadFrom(QIODevice& device);
    // Ready: `frame` holds the next whole frame. The frames before an error come first.
    Status Next(Frame& frame);

private:
    // Fills the header or payload under way from `read(to, most)`, which copies at most
    // `most` bytes to `to` and returns how many, until it has no more.
    template <typename Read>
    void Fill(Read read);

    qsizetype maxPayload_;
    std::array<char, kFrameHeaderSize> header_{};
    qsizetype headerHave_ = 0;
    Frame current_;         // its payload has its full length once its header is in
    qsizetype filled_ = 0;  // bytes of current_.payload received
    std::deque<Frame> ready_;
    Status error_ = Status::NeedMore;
};

}  // namespace tollix

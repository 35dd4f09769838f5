#include "session/frame.h"

namespace tollix {

QByteArray EncodeFrame(std::uint8_t kind, QByteArrayView payload) {
    const auto size = static_cast<std::uint32_t>(payload.size());
    QByteArray frame;
    frame.reserve(kFrameHeaderSize + payload.size());
    frame.append(static_cast<char>(kind));
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.append(static_cast<char>((size >> shift) & 0xff));
    }
    frame.append(payload);
    return frame;
}

FrameReader::Status FrameReader::Next(Frame& frame) {
    if (error_ != Status::NeedMore) {
        return error_;
    }
    if (Buffered() < kFrameHeaderSize) {
        return Status::NeedMore;
    }
    const auto* header = reinterpret_cast<const unsigned char*>(buffer_.constData() + start_);
    if (header[0] == 0) {
        return error_ = Status::Malformed;
    }
    std::uint32_t size = 0;
    for (int i = 1; i < kFrameHeaderSize; ++i) {
        size = size << 8 | header[i];
    }
    if (size > static_cast<std::uint64_t>(maxPayload_)) {
        return error_ = Status::TooLarge;
    }
    const auto length = static_cast<qsizetype>(size);
    if (Buffered() < kFrameHeaderSize + length) {
        return Status::NeedMore;
    }
    frame.kind = header[0];
    frame.payload = buffer_.mid(start_ + kFrameHeaderSize, length);
    start_ += kFrameHeaderSize + length;
    // The consumed bytes are dropped once they are most of the buffer, so that a stream of
    // small frames does not move the rest of the buffer for each one.
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > buffer_.size() / 2) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    return Status::Ready;
}

}  // namespace tollix

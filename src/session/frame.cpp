#include "session/frame.h"

#include <QIODevice>
#include <cstring>

namespace tollix {

std::array<char, kFrameHeaderSize> FrameHeader(std::uint8_t kind, qsizetype payloadSize) {
    const auto size = static_cast<std::uint32_t>(payloadSize);
    std::array<char, kFrameHeaderSize> header{};
    header[0] = static_cast<char>(kind);
    for (int i = 1; i < kFrameHeaderSize; ++i) {
        header[static_cast<std::size_t>(i)] =
            static_cast<char>((size >> (8 * (kFrameHeaderSize - 1 - i))) & 0xff);
    }
    return header;
}

QByteArray EncodeFrame(std::uint8_t kind, QByteArrayView payload) {
    const std::array<char, kFrameHeaderSize> header = FrameHeader(kind, payload.size());
    QByteArray frame;
    frame.reserve(kFrameHeaderSize + payload.size());
    frame.append(header.data(), kFrameHeaderSize);
    frame.append(payload);
    return frame;
}

template <typename Read>
void FrameReader::Fill(Read read) {
    while (error_ == Status::NeedMore) {
        if (headerHave_ < kFrameHeaderSize) {
            const qint64 got = read(header_.data() + headerHave_, kFrameHeaderSize - headerHave_);
            if (got <= 0) {
                return;
            }
            headerHave_ += got;
            if (headerHave_ < kFrameHeaderSize) {
                continue;
            }
            const auto* header = reinterpret_cast<const unsigned char*>(header_.data());
            std::uint32_t size = 0;
            for (int i = 1; i < kFrameHeaderSize; ++i) {
                size = size << 8 | header[i];
            }
            if (header[0] == 0) {
                error_ = Status::Malformed;
                return;
            }
            if (size > static_cast<std::uint64_t>(maxPayload_)) {
                error_ = Status::TooLarge;
                return;
            }
            current_.kind = header[0];
            current_.payload = QByteArray(static_cast<qsizetype>(size), Qt::Uninitialized);
            filled_ = 0;
        }
        const qsizetype size = current_.payload.size();
        if (filled_ < size) {
            const qint64 got = read(current_.payload.data() + filled_, size - filled_);
            if (got <= 0) {
                return;
            }
            filled_ += got;
            if (filled_ < size) {
                continue;
            }
        }
        ready_.push_back(std::move(current_));
        current_ = {};
        headerHave_ = 0;
    }
}

void FrameReader::Append(QByteArrayView bytes) {
    Fill([&bytes](char* to, qint64 most) {
        const qsizetype count = std::min<qsizetype>(bytes.size(), most);
        if (count > 0) {
            std::memcpy(to, bytes.data(), static_cast<std::size_t>(count));
        }
        bytes = bytes.sliced(count);
        return count;
    });
}

void FrameReader::ReadFrom(QIODevice& device) {
    Fill([&device](char* to, qint64 most) { return device.read(to, most); });
}

FrameReader::Status FrameReader::Next(Frame& frame) {
    if (ready_.empty()) {
        return error_;
    }
    frame = std::move(ready_.front());
    ready_.pop_front();
    return Status::Ready;
}

}  // namespace tollix

// Feeds arbitrary bytes to the envelope decoder, as a datagram would bring them, and checks
// that an accepted envelope survives a second trip through the codec.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "protocol/message_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A channel hands on the bytes up to the first NUL.
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(data, 0, size);
    const std::size_t length =
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    tollix::MessageCodec codec;
    tollix::NetMessage message;
    if (!codec.Decode(message, std::string_view(text, length))) {
        return 0;
    }
    // Encoding what was decoded must give an envelope that decodes to the same header.
    tollix::DatagramBuffer buffer;
    std::size_t encodedLength = 0;
    codec.Encode(message, buffer, encodedLength);
    if (encodedLength < buffer.size()) {
        tollix::NetMessage again;
        if (codec.Decode(again, std::string_view(buffer.data(), encodedLength - 1)) &&
            again.id != message.id) {
            std::abort();
        }
    }
    return 0;
}

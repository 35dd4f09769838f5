#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <QTimer>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;

namespace tollix {

// One IPv4 datagram socket whose arrivals are read on the event loop. Every failing call
// records the system's error text (LastSystemError) and its number (LastError) at once,
// before anything else can change errno.
class UdpSocket {
public:
    // Called for every datagram read: its bytes up to the first NUL, and the sender.
    using Receiver = std::function<void(std::string_view text, const std::string& senderAddress,
                                        std::uint16_t senderPort)>;

    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to `port` on all local addresses (0: the system picks one). Address reuse is
    // switched on before binding, where it still has an effect.
    bool Open(std::uint16_t port, bool reuseAddress);
    void Close();
    bool IsOpen() const { return descriptor_ >= 0; }

    bool SetOption(int level, int name, const void* value, socklen_t size);
    template <typename T>
    bool SetOption(int level, int name, const T& value) {
        return SetOption(level, name, &value, sizeof value);
    }

    bool SendTo(const char* data, std::size_t length, const sockaddr_in& destination);

    // Starts reading arrivals on the event loop into `receiver`.
    void WatchArrivals(Receiver receiver);

    // The error number of the last call that failed.
    int LastError() const { return lastError_; }

    // The port the socket is bound to, 0 when closed.
    std::uint16_t LocalPort() const;

private:
    static constexpr std::size_t kDatagramsPerRead = 16;
    struct Batch;

    void ReadArrivals();
    void RecordFailure();

    int descriptor_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    Receiver receiver_;
    std::vector<std::unique_ptr<Batch>> batches_;  // by nesting depth of ReadArrivals
    QTimer rest_;  // while it runs, arrivals wait (see ReadArrivals)
    std::chrono::steady_clock::time_point lastWakeUp_{};
    int lastError_ = 0;
    int readDepth_ = 0;  // nesting of ReadArrivals: a receiver may run a nested event loop
};

}  // namespace tollix

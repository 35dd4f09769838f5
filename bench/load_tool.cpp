// tollix-load: traffic for load scripts and end-to-end tests, run inside the network
// namespaces those create. Every mode prints one line of figures.
//
//   tollix-load probe LOCAL_ADDRESS COPY_ADDRESS COUNT [INTERVAL_MS]
//       joins the group on LOCAL_ADDRESS, announces itself COUNT times and times the answer
//       of the copy at COPY_ADDRESS: "probe answered N/COUNT median_ms M max_ms X";
//       COUNT 0: until SIGTERM or SIGINT
//   tollix-load junk DESTINATION RATE SECONDS
//       datagrams that are no envelope, to DESTINATION port 2030; RATE 0: as fast as it can
//   tollix-load forged DESTINATION COUNT RATE
//       valid ONLINE envelopes, each with a FROM address of its own
//   tollix-load texts DESTINATION TO RATE SECONDS
//       text messages to the contact address TO, all from this host
//   tollix-load forged-texts DESTINATION TO COUNT RATE
//       text messages to the contact address TO, each with a FROM address of its own
//   tollix-load long-texts DESTINATION TO RATE SECONDS SENDERS
//       text messages to TO, each as long as a datagram carries (about 31,700 characters
//       of made-up words that seldom repeat), from SENDERS forged FROM addresses in turn
//   tollix-load sink PORT SECONDS
//       a bare blocking recvfrom loop: "sink received N cpu_s SECONDS"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/message_codec.h"
#include "protocol/random_id.h"

namespace {

using namespace tollix;
using Clock = std::chrono::steady_clock;

constexpr const char* kGroup = "234.5.6.7";
constexpr std::uint16_t kPort = 2030;

sockaddr_in Address(const std::string& dotted, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "tollix-load: not an address: %s\n", dotted.c_str());
        std::exit(2);
    }
    return address;
}

int UdpSocket(std::uint16_t port) {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local = Address("0.0.0.0", port);
    if (descriptor < 0 ||
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("tollix-load: socket");
        std::exit(1);
    }
    return descriptor;
}

std::string Envelope(int type, std::int32_t id, const std::string& extra = {},
                     const std::string& from = {}) {
    NetMessage message;
    MessageCodec().Build(type, message, extra, {"Load", "Test", "Bench"});
    message.id = id;
    if (!from.empty()) {
        message.from = from;
        message.fromPort = kPort;
    }
    return MessageCodec::EnvelopeText(message);
}

// Sends `count` datagrams made by `make` at `rate` a second (0: as fast as possible), in
// small batches so that the pace holds without a timer per datagram; stops early at
// `deadline`. Prints and returns how many it sent.
long Flood(const sockaddr_in& destination, long count, long rate, Clock::time_point deadline,
           const std::function<std::string(long)>& make) {
    const int descriptor = UdpSocket(0);
    const auto start = Clock::now();
    long sent = 0;
    while (sent < count && Clock::now() < deadline) {
        long due = std::min(count, sent + 1000);
        if (rate > 0) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            due = std::min(count, static_cast<long>(elapsed * static_cast<double>(rate)) + 1);
            if (due <= sent) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
        }
        for (; sent < due; ++sent) {
            const std::string datagram = make(sent);
            // Sent with its NUL, as every copy sends.
            ::sendto(descriptor, datagram.c_str(), datagram.size() + 1, 0,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        }
    }
    ::close(descriptor);
    std::printf("sent %ld\n", sent);
    return sent;
}

std::string ForgedAddress(long i) {
    const auto n = static_cast<unsigned long>(i) + 1;
    return "10." + std::to_string((n >> 16) & 255) + "." + std::to_string((n >> 8) & 255) + "." +
           std::to_string(n & 255);
}

// Words of 2 to 9 random letters, so that the full-text index of the receiver's history
// gets nearly as many terms as words: what takes the most room there.
std::string MadeUpWords(std::mt19937& random, std::size_t length) {
    std::string text;
    text.reserve(length);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> wordLength(2, 9);
    while (text.size() < length) {
        for (int n = wordLength(random); n > 0 && text.size() < length; --n) {
            text += static_cast<char>(letter(random));
        }
        if (text.size() < length) {
            text += ' ';
        }
    }
    return text;
}

// A text to TO from `from` whose envelope, with its NUL, fills a datagram.
std::string LongText(std::mt19937& random, const std::string& to, const std::string& from,
                     std::int32_t id) {
    const std::string extra = "TO=" + to + "|TEXT=";
    const std::size_t frame = Envelope(MSGTYPE_TEXT, id, extra, from).size() + 1;
    return Envelope(MSGTYPE_TEXT, id, extra + MadeUpWords(random, kMaxDatagram - frame), from);
}

volatile std::sig_atomic_t probeStopped = 0;

int Probe(const std::string& local, const std::string& copy, int count, int intervalMs) {
    const int descriptor = UdpSocket(kPort);
    ip_mreq membership{};
    membership.imr_multiaddr = Address(kGroup, kPort).sin_addr;
    membership.imr_interface = Address(local, 0).sin_addr;
    const int off = 0;
    if (::setsockopt(descriptor, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) !=
            0 ||
        ::setsockopt(descriptor, IPPROTO_IP, IP_MULTICAST_IF, &membership.imr_interface,
                     sizeof membership.imr_interface) != 0 ||
        ::setsockopt(descriptor, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off) != 0) {
        std::perror("tollix-load: membership");
        return 1;
    }
    const sockaddr_in group = Address(kGroup, kPort);
    const in_addr copyAddress = Address(copy, 0).sin_addr;
    std::vector<double> latencies;
    // Without a count, probing lasts as long as what it measures: a signal ends it.
    const auto stop = [](int) { probeStopped = 1; };
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);
    int sent = 0;
    while ((count == 0 || sent < count) && probeStopped == 0) {
        const std::size_t answeredBefore = latencies.size();
        const auto next = Clock::now() + std::chrono::milliseconds(intervalMs);
        const std::string hello = Envelope(MSGTYPE_HELLO, RandomId());
        const auto sentAt = Clock::now();
        ::sendto(descriptor, hello.c_str(), hello.size() + 1, 0,
                 reinterpret_cast<const sockaddr*>(&group), sizeof group);
        // The answer is the copy's ONLINE or AWAY, heard on the group.
        while (Clock::now() < next) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
            pollfd ready{descriptor, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count()) + 1) <= 0) {
                break;
            }
            DatagramBuffer buffer;
            sockaddr_in sender{};
            socklen_t size = sizeof sender;
            const ssize_t length = ::recvfrom(descriptor, buffer.data(), buffer.size(), 0,
                                              reinterpret_cast<sockaddr*>(&sender), &size);
            NetMessage answer;
            if (length <= 0 || sender.sin_addr.s_addr != copyAddress.s_addr ||
                !MessageCodec().Decode(
                    answer, std::string_view(buffer.data(), std::strlen(buffer.data())))) {
                continue;
            }
            if (answer.msgType == MSGTYPE_ONLINE || answer.msgType == MSGTYPE_AWAY) {
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - sentAt).count());
                break;
            }
        }
        // A probe cut short by the signal, unanswered, was never given its time: not counted.
        if (probeStopped != 0 && latencies.size() == answeredBefore) {
            break;
        }
        ++sent;
        std::this_thread::sleep_until(next);
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies.empty() ? -1 : latencies[latencies.size() / 2];
    const double maximum = latencies.empty() ? -1 : latencies.back();
    std::printf("probe answered %zu/%d median_ms %.2f max_ms %.2f\n", latencies.size(), sent,
                median, maximum);
    return 0;
}

int Sink(std::uint16_t port, int seconds) {
    const int descriptor = UdpSocket(port);
    // The receive buffer the copy asks for, and a time-out so that the loop can end.
    const int bufferSize = 4 * 1024 * 1024;
    const timeval wait{0, 100000};
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    long received = 0;
    DatagramBuffer buffer;
    while (Clock::now() < end) {
        if (::recvfrom(descriptor, buffer.data(), buffer.size(), 0, nullptr, nullptr) >= 0) {
            ++received;
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto cpu = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    std::printf("sink received %ld cpu_s %.3f\n", received,
                cpu(usage.ru_utime) + cpu(usage.ru_stime));
    return 0;
}

long Number(const char* text) {
    return std::strtol(text, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string mode = args.empty() ? "" : args[0];
    if (mode == "probe" && (args.size() == 4 || args.size() == 5)) {
        return Probe(args[1], args[2], static_cast<int>(Number(argv[4])),
                     args.size() == 5 ? static_cast<int>(Number(argv[5])) : 1000);
    }
    const auto never = Clock::time_point::max();
    if (mode == "junk" && args.size() == 4) {
        const long rate = Number(argv[3]);
        const long seconds = Number(argv[4]);
        const std::string junk(60, 'j');
        Flood(Address(args[1], kPort), rate > 0 ? rate * seconds : LONG_MAX, rate,
              Clock::now() + std::chrono::seconds(seconds), [&](long) { return junk; });
        return 0;
    }
    if (mode == "forged" && args.size() == 4) {
        Flood(Address(args[1], kPort), Number(argv[3]), Number(argv[4]), never, [](long i) {
            return Envelope(MSGTYPE_ONLINE, static_cast<std::int32_t>(i + 1), {}, ForgedAddress(i));
        });
        return 0;
    }
    if (mode == "texts" && args.size() == 5) {
        const long rate = Number(argv[4]);
        const std::string extra = "TO=" + args[2] + "|TEXT=load text ";
        Flood(Address(args[1], kPort), rate * Number(argv[5]), rate, never, [&](long i) {
            return Envelope(MSGTYPE_TEXT, static_cast<std::int32_t>(200000 + i),
                            extra + std::to_string(i));
        });
        return 0;
    }
    if (mode == "forged-texts" && args.size() == 5) {
        const std::string extra = "TO=" + args[2] + "|TEXT=forged text ";
        Flood(Address(args[1], kPort), Number(argv[4]), Number(argv[5]), never, [&](long i) {
            return Envelope(MSGTYPE_TEXT, static_cast<std::int32_t>(300000 + i),
                            extra + std::to_string(i), ForgedAddress(i));
        });
        return 0;
    }
    if (mode == "long-texts" && args.size() == 6) {
        const long rate = Number(argv[4]);
        const long senders = std::max(1L, Number(argv[6]));
        std::mt19937 random(2035);
        Flood(Address(args[1], kPort), rate * Number(argv[5]), rate, never, [&](long i) {
            return LongText(random, args[2], ForgedAddress(i % senders),
                            static_cast<std::int32_t>(400000 + i));
        });
        return 0;
    }
    if (mode == "sink" && args.size() == 3) {
        return Sink(static_cast<std::uint16_t>(Number(argv[2])), static_cast<int>(Number(argv[3])));
    }
    std::fputs("usage: see the head of bench/load_tool.cpp\n", stderr);
    return 2;
}

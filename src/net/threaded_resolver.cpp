#include "net/threaded_resolver.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tollix {

namespace {

std::optional<in_addr> ResolveNow(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    freeaddrinfo(found);
    return first.sin_addr;
}

}  // namespace

struct ThreadedResolver::Shared {
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, std::optional<in_addr>>> answers;
    int wakeUp[2] = {-1, -1};  // [0] read on the event loop, [1] written by the workers

    ~Shared() {
        for (const int descriptor : wakeUp) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }
};

ThreadedResolver::ThreadedResolver() : shared_(std::make_shared<Shared>()) {
    if (::pipe2(shared_->wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // every look-up then fails at once, see Lookup
    }
    notifier_ = new QSocketNotifier(shared_->wakeUp[0], QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { DeliverAnswers(); });
}

ThreadedResolver::~ThreadedResolver() {
    delete notifier_;
}

void ThreadedResolver::Lookup(const std::string& host, Answer answer) {
    const std::uint64_t lookup = nextLookup_++;
    pending_.emplace(lookup, std::make_pair(host, std::move(answer)));
    if (notifier_ != nullptr) {
        try {
            std::thread([shared = shared_, lookup, host] {
                const std::optional<in_addr> address = ResolveNow(host);
                const std::lock_guard lock(shared->mutex);
                shared->answers.emplace_back(lookup, address);
                const char byte = 1;
                [[maybe_unused]] const ssize_t written = ::write(shared->wakeUp[1], &byte, 1);
            }).detach();
            return;
        } catch (const std::system_error&) {
        }
    }
    // No worker to be had: the look-up fails, answered from the event loop all the same.
    QTimer::singleShot(0, &context_, [this, lookup] { Deliver(lookup, std::nullopt); });
}

void ThreadedResolver::DeliverAnswers() {
    char bytes[64];
    while (::read(shared_->wakeUp[0], bytes, sizeof bytes) > 0) {
    }
    std::vector<std::pair<std::uint64_t, std::optional<in_addr>>> answers;
    {
        const std::lock_guard lock(shared_->mutex);
        answers.swap(shared_->answers);
    }
    for (const auto& [lookup, address] : answers) {
        Deliver(lookup, address);
    }
}

void ThreadedResolver::Deliver(std::uint64_t lookup, std::optional<in_addr> address) {
    // An answer may run a nested event loop (a box) in which further answers arrive: each
    // one leaves the pending list before it is handed on.
    const auto found = pending_.find(lookup);
    if (found == pending_.end()) {
        return;
    }
    auto [host, answer] = std::move(found->second);
    pending_.erase(found);
    answer(host, address);
}

}  // namespace tollix

#include "net/threaded_resolver.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tollix {

namespace {

// The resolver's own text for a failed look-up ("Name or service not known").
std::string LookupFailure(int code) {
    return code == EAI_SYSTEM ? std::system_category().message(errno) : gai_strerror(code);
}

HostResolver::Result ResolveNow(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int code = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (code != 0 || found == nullptr) {
        return {std::nullopt, LookupFailure(code != 0 ? code : EAI_NONAME)};
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    freeaddrinfo(found);
    return {first.sin_addr, {}};
}

}  // namespace

struct ThreadedResolver::Shared {
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, Result>> answers;
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
        noWorkers_ = std::system_category().message(errno);
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
                Result result = ResolveNow(host);
                const std::lock_guard lock(shared->mutex);
                shared->answers.emplace_back(lookup, std::move(result));
                const char byte = 1;
                [[maybe_unused]] const ssize_t written = ::write(shared->wakeUp[1], &byte, 1);
            }).detach();
            return;
        } catch (const std::system_error& error) {
            noWorkers_ = error.code().message();
        }
    }
    // No worker to be had: the look-up fails, answered from the event loop all the same.
    QTimer::singleShot(0, &context_, [this, lookup, failure = noWorkers_] {
        Deliver(lookup, {std::nullopt, failure});
    });
}

void ThreadedResolver::DeliverAnswers() {
    char bytes[64];
    while (::read(shared_->wakeUp[0], bytes, sizeof bytes) > 0) {
    }
    std::vector<std::pair<std::uint64_t, Result>> answers;
    {
        const std::lock_guard lock(shared_->mutex);
        answers.swap(shared_->answers);
    }
    for (const auto& [lookup, result] : answers) {
        Deliver(lookup, result);
    }
}

void ThreadedResolver::Deliver(std::uint64_t lookup, const Result& result) {
    // An answer may run a nested event loop (a box) in which further answers arrive: each
    // one leaves the pending list before it is handed on.
    const auto found = pending_.find(lookup);
    if (found == pending_.end()) {
        return;
    }
    auto [host, answer] = std::move(found->second);
    pending_.erase(found);
    answer(host, result);
}

}  // namespace tollix

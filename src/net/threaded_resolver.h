#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "net/host_resolver.h"

class QSocketNotifier;

namespace tollix {

// The system resolver (getaddrinfo, which may wait for a name server for many seconds) run
// on a worker thread per look-up; the answer comes back to the event loop through a pipe.
// A look-up still running when the resolver is destroyed finishes on its own and its answer
// is dropped.
class ThreadedResolver : public HostResolver {
public:
    ThreadedResolver();
    ~ThreadedResolver() override;
    ThreadedResolver(const ThreadedResolver&) = delete;
    ThreadedResolver& operator=(const ThreadedResolver&) = delete;

    void Lookup(const std::string& host, Answer answer) override;

private:
    struct Shared;
    void DeliverAnswers();
    void Deliver(std::uint64_t lookup, const Result& result);

    std::shared_ptr<Shared> shared_;  // also held by every worker until it has answered
    QObject context_;  // for answers posted to the event loop; gone with the resolver
    QSocketNotifier* notifier_ = nullptr;
    std::uint64_t nextLookup_ = 0;
    std::map<std::uint64_t, std::pair<std::string, Answer>> pending_;
    std::string noWorkers_;  // why no worker could be had, the reason look-ups then fail
};

}  // namespace tollix

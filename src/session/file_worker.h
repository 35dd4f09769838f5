#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tollix {

// Asked between the blocks of a long job (hashing gigabytes): true when it should give up,
// because the worker is stopping or the transfer it works for has ended.
using StopCheck = std::function<bool()>;

// One thread that runs file jobs (reading, hashing, writing) in the order they were posted,
// so that the event loop never waits for a disk. The poster bounds what it posts (a few
// chunks ahead for each transfer), so the queue stays short.
class FileWorker {
public:
    FileWorker();
    // Stop().
    ~FileWorker();
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    void Post(std::function<void()> job);
    // Drops the jobs not yet started, asks the running one to end early (Stopping) and
    // waits for it.
    void Stop();
    // True once the worker is being stopped.
    bool Stopping() const { return stopping_; }

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

}  // namespace tollix

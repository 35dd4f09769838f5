#pragma once

#include <functional>
#include <string>

class QSocketNotifier;

namespace tollix {

// Reads standard input on the event loop and hands over one line at a time, without its
// line break; calls the end handler once at the end of input.
class InputLines {
public:
    InputLines(std::function<void(const std::string&)> onLine, std::function<void()> onEnd);
    ~InputLines();
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

private:
    void ReadAvailable();

    std::function<void(const std::string&)> onLine_;
    std::function<void()> onEnd_;
    QSocketNotifier* notifier_;
    std::string pending_;
    bool ended_ = false;
};

}  // namespace tollix

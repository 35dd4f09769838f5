#include "input_lines.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace tollix {

InputLines::InputLines(std::function<void(const std::string&)> onLine, std::function<void()> onEnd)
    : onLine_(std::move(onLine)),
      onEnd_(std::move(onEnd)),
      notifier_(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read)) {
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { ReadAvailable(); });
}

InputLines::~InputLines() {
    delete notifier_;
}

void InputLines::ReadAvailable() {
    char chunk[4096];
    const ssize_t size = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (size < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (size <= 0) {
        notifier_->setEnabled(false);
        if (!pending_.empty()) {
            onLine_(std::exchange(pending_, {}));
        }
        if (!ended_) {
            ended_ = true;
            onEnd_();
        }
        return;
    }
    pending_.append(chunk, static_cast<std::size_t>(size));
    for (std::size_t end = pending_.find('\n'); end != std::string::npos;
         end = pending_.find('\n')) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        onLine_(line);
    }
}

}  // namespace tollix

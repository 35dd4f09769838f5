#pragma once

#include <QObject>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "core/clock.h"
#include "core/throttled_log.h"

namespace tollix {

enum class AlertKind { Plain, Error };

// Every box text of the program goes through here. At most one alert is open at a time,
// and a text already shown in the last 30 seconds is not shown again; both kinds of
// surplus go to standard error with a time stamp, at most one line per text per 30
// seconds. So no stream of datagrams can stack boxes, lock the user out or fill the log.
class AlertService : public QObject {
    Q_OBJECT

public:
    static constexpr std::int64_t kRepeatSeconds = 30;

    explicit AlertService(const Clock& clock, QObject* parent = nullptr);

    // Raises `alertRaised` unless the text is surplus. Returns when the alert's handler has
    // returned: a desktop handler shows a modal box, which runs a nested event loop.
    void Show(const std::string& text, const std::string& caption = "Tollix",
              AlertKind kind = AlertKind::Plain);

    // Where surplus alerts are written; nullptr drops them.
    void SetSurplusLog(std::FILE* log) { surplus_.SetOutput(log); }

signals:
    void alertRaised(tollix::AlertKind kind, const QString& caption, const QString& text);

private:
    void LogSurplus(const std::string& text, const char* reason);

    const Clock& clock_;
    ThrottledLog surplus_;
    bool open_ = false;
    std::map<std::string, std::int64_t> lastShown_;  // text -> time it was last shown
};

}  // namespace tollix

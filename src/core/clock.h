#pragma once

#include <cstdint>

namespace tollix {

// Calendar time in whole seconds. The away logic, the up-time and the alert service read
// it through this interface so that tests can set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t Now() const = 0;
};

class SystemClock : public Clock {
public:
    std::int64_t Now() const override;
    static const SystemClock& Instance();
};

}  // namespace tollix

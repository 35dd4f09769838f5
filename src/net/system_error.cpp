#include "net/system_error.h"

#include <cstring>

namespace tollix {

namespace {
thread_local std::string lastSystemError;
}

std::string RecordSystemError(int errorNumber) {
    lastSystemError = std::strerror(errorNumber);
    return lastSystemError;
}

std::string LastSystemError() {
    return lastSystemError;
}

}  // namespace tollix

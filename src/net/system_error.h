#pragma once

#include <string>

namespace tollix {

// Remembers the text of a failed system call (from its errno) as the thread's last system
// error, and returns that text.
std::string RecordSystemError(int errorNumber);

// The text of the last system error recorded on this thread; empty when there was none.
std::string LastSystemError();

}  // namespace tollix

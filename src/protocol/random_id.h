#pragma once

#include <cstdint>

namespace tollix {

// A message ID or a new tunnel id: uniform over 0 to 999999. The engine is seeded once per
// run, on first use.
std::int32_t RandomId();

}  // namespace tollix

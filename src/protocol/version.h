#pragma once

#include <string>

namespace tollix {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionBuild = 0;

// The value of the CLIENT body key: "Tollix v.1.2.0".
inline std::string ClientName() {
    return "Tollix v." + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionBuild);
}

}  // namespace tollix

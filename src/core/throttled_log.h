#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "core/clock.h"

namespace tollix {

// A log on standard error that a flood cannot turn into a flood of lines: per key, at most
// one line is written per 30 seconds. Lines held back meanwhile are counted, and the count
// goes with the next line of that key ("(N more since the last line)"), which is written
// at the latest with the first entry of any key after the 30 seconds are over, or when the
// log is destroyed.
class ThrottledLog {
public:
    static constexpr std::int64_t kPeriodSeconds = 30;
    // Keys tracked at once; beyond it the key written longest ago is let go.
    static constexpr std::size_t kMaxKeys = 256;

    explicit ThrottledLog(const Clock& clock, std::FILE* out = stderr);
    ~ThrottledLog();
    ThrottledLog(const ThrottledLog&) = delete;
    ThrottledLog& operator=(const ThrottledLog&) = delete;

    // Where lines go; nullptr drops them.
    void SetOutput(std::FILE* out) { out_ = out; }

    void Write(const std::string& key, const std::string& line);

private:
    struct Entry {
        std::int64_t writtenAt = 0;
        std::string heldBackLine;    // the latest line held back
        std::uint64_t heldBack = 0;  // lines held back since the last one written
    };

    void Emit(const std::string& line, std::uint64_t moreSince);
    // Writes what is held back for keys whose period is over and forgets the quiet ones.
    void Expire(std::int64_t now, const std::string& except);
    void LetGoOldest();

    const Clock& clock_;
    std::FILE* out_;
    std::map<std::string, Entry> entries_;
};

}  // namespace tollix

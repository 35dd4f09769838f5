#include "core/throttled_log.h"

#include <QByteArray>
#include <QDateTime>
#include <algorithm>

namespace tollix {

namespace {

bool PeriodOver(std::int64_t writtenAt, std::int64_t now) {
    // A clock set back ends the period too, so that nothing is held back for ever.
    return now - writtenAt >= ThrottledLog::kPeriodSeconds || now < writtenAt;
}

}  // namespace

ThrottledLog::ThrottledLog(const Clock& clock, std::FILE* out) : clock_(clock), out_(out) {}

ThrottledLog::~ThrottledLog() {
    for (const auto& [key, entry] : entries_) {
        if (entry.heldBack > 0) {
            Emit(entry.heldBackLine, entry.heldBack - 1);
        }
    }
}

void ThrottledLog::Write(const std::string& key, const std::string& line) {
    const std::int64_t now = clock_.Now();
    Expire(now, key);
    auto found = entries_.find(key);
    if (found == entries_.end()) {
        if (entries_.size() >= kMaxKeys) {
            LetGoOldest();
        }
        entries_[key].writtenAt = now;
        Emit(line, 0);
        return;
    }
    Entry& entry = found->second;
    if (PeriodOver(entry.writtenAt, now)) {
        Emit(line, entry.heldBack);
        entry = Entry{now, {}, 0};
        return;
    }
    entry.heldBackLine = line;
    ++entry.heldBack;
}

void ThrottledLog::Emit(const std::string& line, std::uint64_t moreSince) {
    if (out_ == nullptr) {
        return;
    }
    const QByteArray stamp = QDateTime::currentDateTime().toString(Qt::ISODate).toLocal8Bit();
    if (moreSince > 0) {
        std::fprintf(out_, "%s tollix: %s (%llu more since the last line)\n", stamp.constData(),
                     line.c_str(), static_cast<unsigned long long>(moreSince));
    } else {
        std::fprintf(out_, "%s tollix: %s\n", stamp.constData(), line.c_str());
    }
    std::fflush(out_);
}

void ThrottledLog::Expire(std::int64_t now, const std::string& except) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        Entry& entry = it->second;
        if (it->first == except || !PeriodOver(entry.writtenAt, now)) {
            ++it;
        } else if (entry.heldBack > 0) {
            // The latest line held back stands in for the others.
            Emit(entry.heldBackLine, entry.heldBack - 1);
            entry = Entry{now, {}, 0};
            ++it;
        } else {
            it = entries_.erase(it);
        }
    }
}

void ThrottledLog::LetGoOldest() {
    const auto oldest = std::min_element(
        entries_.begin(), entries_.end(),
        [](const auto& a, const auto& b) { return a.second.writtenAt < b.second.writtenAt; });
    if (oldest->second.heldBack > 0) {
        Emit(oldest->second.heldBackLine, oldest->second.heldBack - 1);
    }
    entries_.erase(oldest);
}

}  // namespace tollix

#include "history/stranger_budget.h"

#include <algorithm>

namespace tollix {

qint64 StrangerBudget::Weight(const HistoryEntry& entry) {
    return Weight(entry.text.toUtf8().size(),
                  (entry.firstName + entry.lastName + entry.groupName).toUtf8().size());
}

void StrangerBudget::Load(const QSet<QString>& writtenTo,
                          const QHash<QString, qint64>& todayByAddress, QDate today) {
    writtenTo_.unite(writtenTo);
    StartDay(today);
    qint64 stored = 0;
    for (auto it = todayByAddress.cbegin(); it != todayByAddress.cend(); ++it) {
        if (IsStranger(it.key())) {
            stored += it.value();
        }
    }
    used_ = std::max(used_, stored);
}

bool StrangerBudget::Admit(const HistoryEntry& entry, QDate today) {
    if (entry.outgoing) {
        writtenTo_.insert(entry.address);
        return true;
    }
    if (!IsStranger(entry.address)) {
        return true;
    }
    StartDay(today);
    const qint64 weight = Weight(entry);
    if (used_ + weight > limit_) {
        return false;
    }
    used_ += weight;
    return true;
}

void StrangerBudget::Clear() {
    writtenTo_.clear();
    used_ = 0;
}

bool StrangerBudget::IsStranger(const QString& address) const {
    return !writtenTo_.contains(address) && !(keepsAll_ && keepsAll_(address));
}

void StrangerBudget::StartDay(QDate today) {
    if (day_ != today) {
        day_ = today;
        used_ = 0;
    }
}

}  // namespace tollix

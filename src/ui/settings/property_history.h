#pragma once

#include <functional>

#include "ui/settings/property_page.h"

namespace tollix {

// The History page's working values.
struct HistoryPage {
    int keepHistory = 1;
    int days = 0;  // delete entries older than this many days; 0: never
    int showNotifications = 1;
    int privateConversations = 1;
};

// Whether texts are stored, how long, desktop notifications, clearing the history, and
// private conversations.
class CPropertyHistory : public CPropertyPage {
    Q_OBJECT

public:
    static constexpr int kMaxDays = 3650;

    // `clearHistory` deletes every stored text at once, when the user has confirmed
    // "Clear history..."; Cancel does not bring them back.
    explicit CPropertyHistory(std::function<void()> clearHistory, QWidget* parent = nullptr);

    HistoryPage& Values() { return values_; }
    const HistoryPage& Values() const { return values_; }

    // The "Clear history..." button.
    void OnClearHistory();

protected:
    void OnInitDialog() override;
    bool DoDataExchange(bool save) override;

private:
    std::function<void()> clearHistory_;
    HistoryPage values_;
};

}  // namespace tollix

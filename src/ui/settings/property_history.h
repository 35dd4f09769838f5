#pragma once

#include <functional>
#include <string>

#include "ui/settings/property_page.h"

namespace tollix {

// The History page's working values.
struct HistoryPage {
    int keepHistory = 1;
    int days = 0;  // delete entries older than this many days; 0: never
    int showNotifications = 1;
    int privateConversations = 1;
    std::string downloadFolder;  // empty: the desktop's download folder
};

// Whether texts are stored, how long, desktop notifications, clearing the history, private
// conversations, and the folder received files are saved in.
class CPropertyHistory : public CPropertyPage {
    Q_OBJECT

public:
    static constexpr int kMaxDays = 3650;
    static constexpr int kMaxFolderChars = 4096;  // PATH_MAX

    // `clearHistory` deletes every stored text at once, when the user has confirmed
    // "Clear history..."; Cancel does not bring them back.
    explicit CPropertyHistory(std::function<void()> clearHistory, QWidget* parent = nullptr);

    // `defaultFolder` is shown in the empty folder field, as where files go without one.
    void SetDefaultFolder(const QString& defaultFolder) { defaultFolder_ = defaultFolder; }
    HistoryPage& Values() { return values_; }
    const HistoryPage& Values() const { return values_; }

    // The "Clear history..." button.
    void OnClearHistory();
    // The "..." button beside the folder: picks another one.
    void OnBrowseFolder();

protected:
    void OnInitDialog() override;
    bool DoDataExchange(bool save) override;

private:
    std::function<void()> clearHistory_;
    HistoryPage values_;
    QString defaultFolder_;
};

}  // namespace tollix

#pragma once

#include <string>

#include "ui/settings/property_page.h"

namespace tollix {

// The General page's working values.
struct GeneralPage {
    std::string firstName;
    std::string lastName;
    std::string groupName;
    int stickSide = 1;  // 0 left, 1 right
    int startMinimized = 0;
    int startWithWindows = 1;
    int sendKey = 1;  // 0 Enter, 1 Ctrl+Enter
    int trayIconAlwaysVisible = 1;
};

// The user's names and group, and how the windows behave.
class CPropertyGeneral : public CPropertyPage {
    Q_OBJECT

public:
    static constexpr int kMaxNameChars = 16;
    static constexpr int kMaxGroupChars = 32;

    explicit CPropertyGeneral(QWidget* parent = nullptr);

    GeneralPage& Values() { return values_; }
    const GeneralPage& Values() const { return values_; }

protected:
    void OnInitDialog() override;
    bool DoDataExchange(bool save) override;

private:
    GeneralPage values_;
};

}  // namespace tollix

#include "ui/settings/property_general.h"

#include "ui/settings/property_general_table.h"

namespace tollix {

using namespace general_table;

CPropertyGeneral::CPropertyGeneral(QWidget* parent) : CPropertyPage(kDialog, parent) {}

void CPropertyGeneral::OnInitDialog() {
    DoDataExchange(false);
}

bool CPropertyGeneral::DoDataExchange(bool save) {
    if (!ExchangeText(save, kFirstName, values_.firstName, kMaxNameChars) ||
        !ExchangeText(save, kLastName, values_.lastName, kMaxNameChars) ||
        !ExchangeText(save, kGroupName, values_.groupName, kMaxGroupChars)) {
        return false;
    }
    ExchangeRadio(save, kStickLeft, values_.stickSide);
    ExchangeCheck(save, kStartMinimized, values_.startMinimized);
    ExchangeCheck(save, kStartWithSession, values_.startWithWindows);
    ExchangeRadio(save, kSendByEnter, values_.sendKey);
    ExchangeCheck(save, kTrayIconAlwaysVisible, values_.trayIconAlwaysVisible);
    return true;
}

}  // namespace tollix

#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <string>

#include "ui/common/dialog_controls.h"
#include "ui/common/dialog_units.h"

namespace tollix {

// One page of the settings sheet, laid out from its dialog table. The page works on its
// own copies of the settings; its controls are made only when the user first opens it,
// so a page never opened hands back its values untouched.
class CPropertyPage : public QWidget {
    Q_OBJECT

public:
    // `layout` must outlive the page (the tables are constants).
    explicit CPropertyPage(const dialog::DialogTemplate& layout, QWidget* parent = nullptr);

    // Makes the controls and fills them, the first time only.
    void Activate();
    bool IsOpened() const { return opened_; }
    // The page is being left (another tab or OK): reads the controls back. False, after
    // telling the user and with the focus on the offending control, when a value is
    // refused; the page must then stay.
    bool OnKillActive();
    // The sheet is accepting OK: reads the controls once more (if the page was opened).
    virtual bool OnOK();

    // A control of the table by its id, or nullptr before the page was opened.
    QWidget* Control(int id) const { return controls_.Find(id); }

protected:
    // Fills the controls after they were made.
    virtual void OnInitDialog() = 0;
    // Moves the working values into the controls (`save` false) or reads them back
    // (`save` true), in control order; false at the first refused value.
    virtual bool DoDataExchange(bool save) = 0;

    const dialog::DialogControls& Controls() const { return controls_; }

    // Exchange helpers. Text is taken as typed, not trimmed. A text longer than
    // `maxChars` cannot be typed, and if it is there all the same it is refused.
    bool ExchangeText(bool save, int id, std::string& value, int maxChars);
    // A decimal integer; anything else is refused with "Please enter an integer.".
    bool ExchangeInt(bool save, int id, int& value);
    // 0 or 1.
    void ExchangeCheck(bool save, int id, int& value);
    // The position of the checked button in the group starting at `firstId`; -1 for none.
    void ExchangeRadio(bool save, int firstId, int& value);

    // Ties the up-down control `spinId` to the edit `editId` with the range given, and
    // shows `value` in the edit as it is stored (the spin's own position is clamped).
    void AttachSpin(int spinId, int editId, int lower, int upper, int value);
    // Asks `text` with Yes and No, modal to the sheet only; true for Yes.
    bool Confirm(const QString& text, QMessageBox::StandardButton defaultButton);

private:
    bool Refuse(QWidget* control, const QString& text);

    const dialog::DialogTemplate& layout_;
    dialog::DialogControls controls_;
    bool opened_ = false;
};

// Reads `text` as a decimal integer: blanks around it, an optional sign, digits only, and
// within the range of int.
bool ParseDialogInteger(const QString& text, int& value);

}  // namespace tollix

#include "ui/settings/property_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <limits>

#include "ui/common/up_down_control.h"
#include "ui/settings/max_chars_validator.h"

namespace tollix {

CPropertyPage::CPropertyPage(const dialog::DialogTemplate& layout, QWidget* parent)
    : QWidget(parent), layout_(layout) {
    // The size is known before the controls exist, so that the sheet fits every page.
    setFont(dialog::DialogUnits::DialogFont());
    setFixedSize(dialog::DialogUnits(font()).ToPixels(layout.width, layout.height));
    setWindowTitle(QString::fromUtf8(layout.caption));
}

void CPropertyPage::Activate() {
    if (opened_) {
        return;
    }
    opened_ = true;
    controls_ = dialog::PlaceControls(this, dialog::DialogUnits(font()), layout_.controls);
    for (QWidget* control : controls_.All()) {
        control->show();  // children made after their parent was shown stay hidden otherwise
    }
    OnInitDialog();
}

bool CPropertyPage::OnKillActive() {
    return !opened_ || DoDataExchange(true);
}

bool CPropertyPage::OnOK() {
    return OnKillActive();
}

bool CPropertyPage::ExchangeText(bool save, int id, std::string& value, int maxChars) {
    auto* edit = controls_.Get<QLineEdit>(id);
    if (!save) {
        edit->setText(QString::fromStdString(value));
        if (edit->validator() == nullptr) {
            edit->setValidator(new MaxCharsValidator(maxChars, edit));
        }
        return true;
    }
    const QString text = edit->text();
    if (text.size() > maxChars) {
        return Refuse(edit,
                      QStringLiteral("Please enter no more than %1 characters.").arg(maxChars));
    }
    value = text.toStdString();
    return true;
}

bool CPropertyPage::ExchangeInt(bool save, int id, int& value) {
    auto* edit = controls_.Get<QLineEdit>(id);
    if (!save) {
        edit->setText(QString::number(value));
        return true;
    }
    int read = 0;
    if (!ParseDialogInteger(edit->text(), read)) {
        return Refuse(edit, QStringLiteral("Please enter an integer."));
    }
    value = read;
    return true;
}

void CPropertyPage::ExchangeCheck(bool save, int id, int& value) {
    auto* box = controls_.Get<QCheckBox>(id);
    if (save) {
        value = box->isChecked() ? 1 : 0;
    } else {
        box->setChecked(value != 0);
    }
}

void CPropertyPage::ExchangeRadio(bool save, int firstId, int& value) {
    QButtonGroup* group = controls_.RadioGroup(firstId);
    if (save) {
        value = group->checkedId();
        return;
    }
    // An exclusive group cannot lose its checked button, which a value of none needs.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(group->id(button) == value);
    }
    group->setExclusive(true);
}

void CPropertyPage::AttachSpin(int spinId, int editId, int lower, int upper, int value) {
    auto* spin = controls_.Get<UpDownControl>(spinId);
    auto* edit = controls_.Get<QLineEdit>(editId);
    spin->AttachTo(edit);
    spin->SetRange(lower, upper);
    spin->SetPosition(value);
    edit->setText(QString::number(value));
}

bool CPropertyPage::Confirm(const QString& text, QMessageBox::StandardButton defaultButton) {
    // Asked directly, not through the alert service: the answer decides what happens.
    // Modal to the sheet only, which outlives the box, as every box of the sheet.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::WindowModal);
    return box.exec() == QMessageBox::Yes;
}

bool CPropertyPage::Refuse(QWidget* control, const QString& text) {
    // Shown directly, not through the alert service: it answers what the user just did
    // and must appear every time.
    // Modal to the sheet only, which outlives the box: the sheet's own loop cannot end first.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tollix"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    }
    return false;
}

bool ParseDialogInteger(const QString& text, int& value) {
    const QString number = text.trimmed();
    qsizetype at = 0;
    if (at < number.size() && (number[at] == u'-' || number[at] == u'+')) {
        ++at;
    }
    if (at == number.size()) {
        return false;
    }
    for (qsizetype i = at; i < number.size(); ++i) {
        if (number[i] < u'0' || number[i] > u'9') {
            return false;
        }
    }
    bool inRange = false;
    const long long read = number.toLongLong(&inRange);
    if (!inRange || read < std::numeric_limits<int>::min() ||
        read > std::numeric_limits<int>::max()) {
        return false;
    }
    value = static_cast<int>(read);
    return true;
}

}  // namespace tollix

#include "ui/common/dialog_controls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "ui/common/crisp_frame.h"
#include "ui/common/left_text_check_box.h"
#include "ui/common/up_down_control.h"

namespace tollix::dialog {

namespace {

QWidget* MakeControl(const ControlRow& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.text ? row.text : "");
    switch (row.kind) {
        case Kind::GroupBox:
            return new QGroupBox(text, parent);
        case Kind::Label: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);  // some are filled from the network
            label->setAlignment((row.style & kCentred ? Qt::AlignHCenter : Qt::AlignLeft) |
                                Qt::AlignTop);
            return label;
        }
        case Kind::Icon: {
            auto* icon = new QLabel(parent);
            icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return icon;
        }
        case Kind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setReadOnly((row.style & kReadOnly) != 0);
            return edit;
        }
        case Kind::MultiLineEdit: {
            auto* edit = new QPlainTextEdit(text, parent);
            edit->setReadOnly((row.style & kReadOnly) != 0);
            UseCrispFrame(*edit);
            return edit;
        }
        case Kind::RadioButton:
            return new QRadioButton(text, parent);
        case Kind::CheckBox:
            if (row.style & kLeftText) {
                return new LeftTextCheckBox(text, parent);
            }
            return new QCheckBox(text, parent);
        case Kind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setDefault((row.style & kDefault) != 0);
            button->setFlat((row.style & kFlat) != 0);
            return button;
        }
        case Kind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            UseCrispFrame(*list);
            return list;
        }
        case Kind::UpDown:
            return new UpDownControl(parent);
        case Kind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(parent);
}

// The tables were drawn for a font whose texts run a little narrower, relative to its
// average character, than some fonts do. A text that would be cut off widens its control
// to the right, and a control too low for its text or indicator grows evenly up and
// down, as far as the parent allows. Everything else keeps the table's rectangle.
void FitToContents(QWidget* widget, const ControlRow& row) {
    if (row.kind != Kind::Label && row.kind != Kind::CheckBox && row.kind != Kind::RadioButton) {
        return;
    }
    QRect rect = widget->geometry();
    const QSize needed = widget->sizeHint();
    if (needed.width() > rect.width()) {
        rect.setWidth(needed.width());
    }
    if (needed.height() > rect.height()) {
        rect.adjust(0, -(needed.height() - rect.height()) / 2, 0, 0);
        rect.setHeight(needed.height());
    }
    if (const QWidget* parent = widget->parentWidget()) {
        rect = rect.intersected(parent->rect());
    }
    widget->setGeometry(rect);
}

}  // namespace

QWidget* DialogControls::Find(int id) const {
    for (const auto& [controlId, widget] : byId_) {
        if (controlId == id) {
            return widget;
        }
    }
    return nullptr;
}

QButtonGroup* DialogControls::RadioGroup(int firstId) const {
    for (const auto& [id, group] : groups_) {
        if (id == firstId) {
            return group;
        }
    }
    return nullptr;
}

DialogControls PlaceControls(QWidget* parent, const DialogUnits& units,
                             std::span<const ControlRow> table, QPoint origin) {
    DialogControls controls;
    QButtonGroup* radioGroup = nullptr;
    for (const ControlRow& row : table) {
        QWidget* widget = MakeControl(row, parent);
        widget->setGeometry(units.ToPixels(row.x, row.y, row.width, row.height).translated(origin));
        FitToContents(widget, row);
        if (row.kind == Kind::RadioButton) {
            // Radio buttons of one parent would all exclude each other; each group that the
            // table starts gets its own.
            if (radioGroup == nullptr || (row.style & kGroupStart)) {
                radioGroup = new QButtonGroup(parent);
                controls.groups_.emplace_back(row.id, radioGroup);
            }
            radioGroup->addButton(qobject_cast<QRadioButton*>(widget),
                                  static_cast<int>(radioGroup->buttons().size()));
        }
        if (row.id != kNoId) {
            controls.byId_.emplace_back(row.id, widget);
        }
        controls.all_.push_back(widget);
    }
    return controls;
}

DialogControls BuildDialog(QWidget* dialog, const DialogTemplate& layout, int edge) {
    dialog->setFont(DialogUnits::DialogFont());
    const DialogUnits units(dialog->font());
    if (layout.caption != nullptr) {
        dialog->setWindowTitle(QString::fromUtf8(layout.caption));
    }
    dialog->setFixedSize(units.ToPixels(layout.width, layout.height) + QSize(2 * edge, 2 * edge));
    return PlaceControls(dialog, units, layout.controls, QPoint(edge, edge));
}

}  // namespace tollix::dialog

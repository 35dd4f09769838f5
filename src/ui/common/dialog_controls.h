#pragma once

#include <QButtonGroup>
#include <QPoint>
#include <QWidget>
#include <span>
#include <utility>
#include <vector>

#include "ui/common/dialog_units.h"

namespace tollix::dialog {

// The widgets made from a dialog table, found by their ids.
class DialogControls {
public:
    QWidget* Find(int id) const;
    template <class T>
    T* Get(int id) const {
        return qobject_cast<T*>(Find(id));
    }
    // The exclusive group that the radio button `firstId` starts; buttons are numbered
    // from 0 in table order.
    QButtonGroup* RadioGroup(int firstId) const;
    // Every widget made, in table order.
    const std::vector<QWidget*>& All() const { return all_; }

private:
    friend DialogControls PlaceControls(QWidget* parent, const DialogUnits& units,
                                        std::span<const ControlRow> table, QPoint origin);

    std::vector<std::pair<int, QWidget*>> byId_;
    std::vector<std::pair<int, QButtonGroup*>> groups_;
    std::vector<QWidget*> all_;
};

// Creates the controls of `table` as children of `parent`, in table order (which is also
// the tab order), at their positions converted to pixels and moved by `origin`. A label,
// check box or radio button whose text would be cut off with the current font is widened
// (or made taller, about its centre) just enough, within the parent.
DialogControls PlaceControls(QWidget* parent, const DialogUnits& units,
                             std::span<const ControlRow> table, QPoint origin = {});

// Gives `dialog` the dialog font, its caption and the fixed size of `layout` plus `edge`
// pixels on every side, then places the controls inside that edge. A fixed size keeps the
// controls of the table from ever being clipped by resizing.
DialogControls BuildDialog(QWidget* dialog, const DialogTemplate& layout, int edge = 0);

}  // namespace tollix::dialog

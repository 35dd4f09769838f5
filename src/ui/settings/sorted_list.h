#pragma once

#include <QListWidget>

namespace tollix {

// Inserts `item` into `list` in the case-insensitive order of the item texts, after the
// items that compare equal, and returns its row. The list boxes of the settings keep
// their items in this order whatever order they were added in.
int InsertSorted(QListWidget* list, QListWidgetItem* item);

}  // namespace tollix

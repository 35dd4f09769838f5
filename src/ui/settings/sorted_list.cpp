#include "ui/settings/sorted_list.h"

namespace tollix {

int InsertSorted(QListWidget* list, QListWidgetItem* item) {
    const QString text = item->text();
    int low = 0;
    int high = list->count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (QString::compare(list->item(middle)->text(), text, Qt::CaseInsensitive) <= 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    list->insertItem(low, item);
    return low;
}

}  // namespace tollix

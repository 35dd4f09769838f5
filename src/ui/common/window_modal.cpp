#include "ui/common/window_modal.h"

#include <QDialog>

namespace tollix {

void OpenWindowModal(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();  // window-modal
}

}  // namespace tollix

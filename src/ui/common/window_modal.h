#pragma once

class QDialog;

namespace tollix {

// Opens `dialog` modal to its owner window only and returns at once: the other windows
// stay usable, and no nested event loop runs on the caller's stack, where the network
// could close the owner (and the dialog with it) before the caller has returned. The
// dialog deletes itself when it ends, or goes with its owner.
void OpenWindowModal(QDialog* dialog);

}  // namespace tollix

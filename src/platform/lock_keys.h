#pragma once

namespace tollix {

// The state of the lock keys for the status bar indicators.
struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
    bool known = false;  // false where the display server does not tell
};

// Reads the keyboard's lock indicators from the X server; unknown elsewhere.
LockKeys ReadLockKeys();

}  // namespace tollix

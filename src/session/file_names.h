#pragma once

#include <QString>

namespace tollix {

// The longest name given to a received file, in bytes of UTF-8: room is left within the
// system's 255 for a number (" (999)") and ".part".
inline constexpr qsizetype kMaxSafeNameBytes = 240;

// A name as another copy offered it, made safe to create inside the chosen folder: path
// separators and control or format characters become "_", spaces at either end go, a name
// that is empty or only dots becomes "file", and a long name is cut (keeping a short
// extension) to kMaxSafeNameBytes at a character's boundary. The result is never ".", ".."
// or empty and holds no "/".
QString SafeFileName(const QString& offered);

// The n-th other name for a taken one: "report.pdf" gives "report (1).pdf" for 1; n = 0
// gives the name itself.
QString NumberedName(const QString& name, int n);

}  // namespace tollix

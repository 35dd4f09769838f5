#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <span>

namespace tollix::dialog {

// What a row of a dialog table creates.
enum class Kind {
    GroupBox,       // QGroupBox: a frame with its title
    Label,          // QLabel
    Edit,           // QLineEdit
    MultiLineEdit,  // QPlainTextEdit
    RadioButton,    // QRadioButton
    CheckBox,       // QCheckBox, or LeftTextCheckBox with kLeftText
    PushButton,     // QPushButton
    ListBox,        // QListWidget
    UpDown,         // UpDownControl
    ProgressBar,    // QProgressBar, without text
    Icon,           // QLabel that the dialog gives a picture
};

// Looks of a control beyond its kind, combined as bits.
enum Style : unsigned {
    kNoStyle = 0,
    kDefault = 1u << 0,     // the default push button (Enter presses it)
    kFlat = 1u << 1,        // push button without a raised bevel
    kCentred = 1u << 2,     // label text centred
    kReadOnly = 1u << 3,    // edit that only shows
    kGroupStart = 1u << 4,  // radio button that starts a new exclusive group
    kLeftText = 1u << 5,    // check box with its text left of the box
};

// The id of controls nobody refers to.
inline constexpr int kNoId = -1;

// One row of a dialog table: position and size in dialog units.
struct ControlRow {
    int id;
    Kind kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    unsigned style = kNoStyle;
};

// A whole dialog: its caption, its size in dialog units and its controls, in creation
// (and tab) order.
struct DialogTemplate {
    const char* caption;
    int width;
    int height;
    std::span<const ControlRow> controls;
};

// Converts dialog units into pixels. A horizontal unit is a quarter of the dialog font's
// average character width, a vertical unit an eighth of its height, so a table keeps its
// proportions with any font, resolution or scale factor.
class DialogUnits {
public:
    // The font every dialog uses: the application's font family at 8 points.
    static QFont DialogFont();

    explicit DialogUnits(const QFont& font = DialogFont());

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    // Both corners are mapped, so that neighbouring controls stay exactly adjacent.
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace tollix::dialog

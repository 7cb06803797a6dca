// The main window as its dialog template lays it out: the window's size and the nine controls in
// their order of creation, in dialog units, and the conversion of those units into pixels.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>
#include <array>

namespace tovrin {

enum class ControlKind {
    EDIT,      // a box the user types into
    PASSWORD,  // an edit box that shows its characters masked
    STATUS,    // the read-only status line
    BUTTON,
    LABEL,
};

struct ControlTemplate {
    int id;  // -1 for the labels, which nothing addresses
    ControlKind kind;
    const char* text;
    bool enabled;
    QRect units;  // x, y, width, height in dialog units, in the client area
};

// The client area, in dialog units.
inline constexpr QSize DIALOG_UNITS{155, 138};

extern const std::array<ControlTemplate, 9> MAIN_DIALOG_CONTROLS;

// A horizontal dialog unit is a quarter of the font's average character width, a vertical one an
// eighth of its height; the conversion rounds down, as a dialog manager's does.
QRect to_pixels(const QFontMetrics& metrics, const QRect& units);
QSize to_pixels(const QFontMetrics& metrics, const QSize& units);

}  // namespace tovrin

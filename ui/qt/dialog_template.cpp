#include "ui/qt/dialog_template.h"

#include "ui/dialog_view.h"

namespace tovrin {

const std::array<ControlTemplate, 9> MAIN_DIALOG_CONTROLS{{
    {IDC_ADDRESS, ControlKind::EDIT, "192.168.0.120", true, {20, 14, 110, 15}},
    {IDC_USER, ControlKind::EDIT, "USERID", true, {67, 36, 53, 14}},
    {IDC_PASSWORD, ControlKind::PASSWORD, "CH4NGEME", true, {67, 51, 53, 14}},
    {IDC_LOGON, ControlKind::BUTTON, "Logon", true, {20, 69, 111, 14}},
    {-1, ControlKind::LABEL, "User Name:", true, {20, 36, 38, 8}},
    {-1, ControlKind::LABEL, "Password:", true, {20, 51, 34, 8}},
    {IDC_STATUS, ControlKind::STATUS, "", true, {19, 110, 111, 15}},
    {IDC_DUMP, ControlKind::BUTTON, "Dump SEL", false, {20, 86, 54, 14}},
    {IDC_CLEAR, ControlKind::BUTTON, "Clear SEL", false, {77, 86, 54, 14}},
}};

namespace {

// The average character width as a dialog manager measures a dialog's font: the mean advance of
// the 52 letters, rounded. Qt's averageCharWidth comes out narrower for proportional fonts, and the
// template's gaps between labels and boxes were laid out for the wider measure.
int average_char_width(const QFontMetrics& metrics) {
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (letters / 26 + 1) / 2;
}

int horizontal(const QFontMetrics& metrics, int units) {
    return units * average_char_width(metrics) / 4;
}

int vertical(const QFontMetrics& metrics, int units) {
    return units * metrics.height() / 8;
}

}  // namespace

QRect to_pixels(const QFontMetrics& metrics, const QRect& units) {
    return {horizontal(metrics, units.x()), vertical(metrics, units.y()),
            horizontal(metrics, units.width()), vertical(metrics, units.height())};
}

QSize to_pixels(const QFontMetrics& metrics, const QSize& units) {
    return {horizontal(metrics, units.width()), vertical(metrics, units.height())};
}

}  // namespace tovrin

// Every picture the desktop viewer draws itself: the element tree's icons, the
// tool bar pictures of the panes and the main window, and the application
// icon. They are drawn with QPainter so that they need neither an image plugin
// nor an icon theme. An element icon number is a kind (0..9) plus
// kSelectedIcon for the form shown on a selected row and plus kDimmedIcon for
// elements that are not rendered: 40 images in all.
// Everything here needs a QGuiApplication and the user-interface thread.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vexo {

enum ElemIconKind : int {
    kIconText = 0,
    kIconContainer = 1,
    kIconDocument = 2,
    kIconUse = 3,
    kIconComment = 4,
    kIconFont = 5,
    kIconElement = 6,
    kIconString = 7,
    kIconInstance = 8,
    kIconPaintServer = 9,
};
constexpr int kIconKinds = 10;
constexpr int kSelectedIcon = 10;
constexpr int kDimmedIcon = 20;

// Icon number 0..39 drawn `sizePx` pixels square; null for other numbers.
QPixmap ElemIconPixmap(int number, int sizePx);

// The icon of number 0..9 or 20..29 (kind, maybe dimmed): its image in
// QIcon::Normal mode and its selected form in QIcon::Selected mode, at 16 and
// 32 pixels. Built once and shared.
const QIcon& ElemIcon(int number);

// MoveToHref serves both "Move to \"href\"" in the tree and "Move to link"
// in the properties grid.
enum class ToolIcon {
    Expand,
    Collapse,
    MoveToHref,
    EditText,
    Sort,
    ZoomIn,
    ZoomOut,
    FitWindow,
    Scale100,
    Copy,
    Checker,
    AxisMode,
    Export,
    Print,
    ShowIn,
    ShowIn2,
    ShowResult,
};

// A tool bar picture at 16 and 32 pixels, in the element icons' colours.
QIcon ToolBarIcon(ToolIcon icon);

// The application icon, the picture of resources/icons/vexo.svg: Qt reads
// SVG icon files only through an image plugin the desktop may not have.
QIcon ApplicationIcon();

}  // namespace vexo

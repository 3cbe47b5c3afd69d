#pragma once

#include <QFont>
#include <QRect>

class QShortcut;

class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QWidget;

namespace horvex {

// Geometry is laid out in twips, 15 to the pixel at 96 dpi; Qt scales the
// pixels for high-dpi screens.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

constexpr QRect twipRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

// The windows' font: the classic 8-point sans, or the nearest sans there is.
QFont windowFont(double pointSize = 8.25, bool bold = false);

// A label or a frame at its twip place, named for tests and accessibility.
// Labels read from their top-left corner, as the layout assumes.
QLabel* makeLabel(const QString& text, QWidget* parent, const QRect& geometry, const QString& name);
QGroupBox* makeFrame(const QString& caption, QWidget* parent, const QRect& geometry,
                     const QString& name);

// The text, or its start and end around "…" when it is longer than
// `maxChars` characters.
QString elideMiddle(const QString& text, int maxChars);

// Places a top-level window, frame included, in the middle of its screen's
// free area. A window larger than that area keeps its title bar on screen:
// the top edge and the close box stay reachable.
void centerOnScreen(QWidget& window);

// The name a screen reader says for `widget`. Given to the widget when a
// screen reader is (or becomes) active: naming it otherwise would build the
// accessibility objects of every named widget for nobody.
void nameForScreenReaders(QWidget& widget, const QString& name);

// A push button with its text, and what a screen reader says for it.
QPushButton* makeButton(const QString& text, const QString& spoken, QWidget* parent);

// Shows a window and draws it before returning, for a window that must be
// seen while the program is still busy.
void showDrawn(QWidget& window);

// Enter on a focused push or image button of `window` presses it, as Space
// does.
void pressButtonsOnEnter(QWidget& window);

// Our dialogs have no default and no cancel button: Enter (away from a
// button) and Escape do nothing. Returns true when the key was one of them
// and is consumed.
bool swallowDialogKeys(QKeyEvent& event);

// A shortcut for redo on `window`: the desktop's own keys and Ctrl+Mayús+Z,
// each once (on X11 desktops they are the same, and two shortcuts with one
// key would cancel each other out).
QShortcut* makeRedoShortcut(QWidget* window);

} // namespace horvex

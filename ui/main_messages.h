#pragma once

// How the main window speaks to the operator: its status bar, and the
// critical message box of a port failure.

#include <QStatusBar>
#include <array>

class QLabel;

namespace horvex {

// The main window's status bar: two sunken text panels numbered from 1,
// panel 1 for the commands' messages and panel 2 for the open port, docked
// to the bottom edge of the window over its full width.
class MainStatusBar : public QStatusBar {
public:
    explicit MainStatusBar(QWidget* window);

    // Replaces the panel's whole text and draws it at once.
    void setPanelText(int panel, const QString& text);
    // The panel's whole text, as given; the panel may show less.
    QString panelText(int panel) const;
    // Back to the bottom edge, after the window's size changed.
    void dock();

private:
    std::array<QLabel*, 2> panels_{};
    std::array<QString, 2> texts_;
};

// A modal critical box with one OK button, each line of `prompt` shortened
// in the middle so that the box fits on the screen.
void criticalBox(const QString& title, const QString& prompt);

} // namespace horvex

#pragma once

#include <QString>
#include <chrono>

namespace horvex {

// What the core needs from the window: its status line, its message box and
// its pause. The main window implements them; tests record through them.

class StatusLine {
public:
    virtual ~StatusLine() = default;
    // Replaces the whole text of a panel, numbered from 1. The text is on
    // screen when this returns.
    virtual void setPanelText(int panel, const QString& text) = 0;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // A modal box with one OK button and the critical icon; returns when the
    // operator has closed it.
    virtual void critical(const QString& title, const QString& prompt) = 0;
};

class Pause {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~Pause() = default;
    // Tiempo: sleep round(seconds x 1000) ms, then one pass of the event pump.
    virtual void Tiempo(double seconds) = 0;
    // The paced sender's pause after a character: the same pause, counted
    // from `since`, when the character's write began, so that the time spent
    // writing and pumping events falls inside it instead of adding to it.
    virtual void TiempoDesde(Clock::time_point since, double seconds) = 0;
};

} // namespace horvex

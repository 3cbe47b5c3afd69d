#pragma once

#include <QString>

namespace horvex::cli {

// Whether the user's manager runs horvex-sync.timer, as it says itself.
struct TimerState {
    bool known = false;   // the user manager answered
    bool enabled = false; // it starts the timer
    QString text;         // in a sentence, for --status
};

// Asks `systemctl --user is-enabled horvex-sync.timer`, waiting at most two
// seconds. No systemctl, no user manager, no answer: not known, and said so.
TimerState syncTimerState();

} // namespace horvex::cli

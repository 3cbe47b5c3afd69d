#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace horvex::cli {

// The command line: `horvex` with options runs one command without any
// window and without a display, and returns its exit code.
int run(int argc, char* argv[]);

// Qt's own window options given to `horvex` (-style fusion, -reverse), when
// the arguments hold nothing else: the window then opens with them.
std::optional<QSet<QString>> windowOptions(int argc, char* argv[]);

// Whether the arguments hold --calendar-window.
bool asksForCalendarWindow(int argc, char* argv[]);

// The calendar file that `--calendar-window [--calendar FILE]` names (empty:
// the default one); or, when the arguments ask for help or are wrong, the
// exit code once that has been said.
std::variant<QString, int> calendarWindowFile(const QStringList& args);

} // namespace horvex::cli

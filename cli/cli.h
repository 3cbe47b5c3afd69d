#pragma once

#include <QSet>
#include <QString>
#include <optional>

namespace horvex::cli {

// The command line: `horvex` with options runs one command without any
// window and without a display, and returns its exit code.
int run(int argc, char* argv[]);

// Qt's own window options given to `horvex` (-style fusion, -reverse), when
// the arguments hold nothing else: the window then opens with them.
std::optional<QSet<QString>> windowOptions(int argc, char* argv[]);

} // namespace horvex::cli

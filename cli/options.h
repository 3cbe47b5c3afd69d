#pragma once

#include "cli/commands.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace horvex::cli {

// The command line has its own small reader rather than QCommandLineParser:
// that one has no options with an optional value (--history [N]), reads
// "-1" as an option, keeps the last of a repeated option without a word, and
// says its errors in English. Ours reads one table of rows (cli.cpp), from
// which the help and every "goes with" rule follow.

// What an option does with a value after it (--port 3, --port=3).
enum class Takes { Nothing, Value, OptionalValue };

// One row of the command line. A row that runs is a command, one per run;
// any other row is an option that goes with the commands it names.
struct Row {
    QString name; // --name
    QChar letter; // -letter, or none
    Takes takes = Takes::Nothing;
    QString valueName; // "N", "ARCHIVO"
    QString help;      // one sentence or two, in Spanish
    QStringList with;  // an option: the commands it goes with
    // Puts a given value into the request (an empty text for an option that
    // takes none); returns why it is refused, or nothing. Not called for an
    // optional value that was not given.
    std::function<QString(const QString& value, Request& r)> take = {};
    std::function<int(const Request&)> run = {};
    bool overrides = false; // --help, --version: answered whatever else is given

    bool isCommand() const { return static_cast<bool>(run); }
};

// The command line read against the rows.
struct Parsed {
    const Row* command = nullptr; // none when `error` says why
    Request request;
    QString error; // a usage error, to be said as it is
};
Parsed parse(const QStringList& args, const std::vector<Row>& rows);

// "--sync", "--sync o --print-frame", "--sync, --day o --plan".
QString commandList(const QStringList& names);

// --help: the commands and options of `rows`, wrapped, with the exit codes
// and examples.
QString helpText(const std::vector<Row>& rows);

// The names of Qt's own window options in `args` (-style fusion, -reverse),
// when that is all they hold; nothing when they hold anything else.
std::optional<QSet<QString>> windowOptions(const QStringList& args);

// `args` without Qt's window options and their values.
QStringList withoutWindowOptions(const QStringList& args);

// The names of Qt's window options among `args`, whatever else they hold.
QSet<QString> windowOptionNames(const QStringList& args);

} // namespace horvex::cli

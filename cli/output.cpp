// What the commands print: standard output kept for its failures, standard
// error bounded, or both gathered for a window that runs a command.

#include "cli/commands.h"
#include "schedule/quoted.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace horvex::cli {

namespace {

// The errno of the first write to standard output that failed (a full disk,
// a closed pipe), reported once the command is over.
int outputError = 0;

} // namespace

void out(const QByteArray& bytes) {
    const auto size = static_cast<std::size_t>(bytes.size());
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size, stdout) == size;
    if ((!written || std::fflush(stdout) != 0) && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
}

namespace {
OutputTo::Sink sink;
} // namespace

OutputTo::OutputTo(Sink to)
    : previous_(std::exchange(sink, std::move(to))) {}

OutputTo::~OutputTo() {
    sink = std::move(previous_);
}

void say(const QString& line) {
    if (sink)
        return sink(line, false);
    out((line + QLatin1Char('\n')).toUtf8());
}

void complain(const QString& text) {
    const QString line = boundedMessage(text);
    if (sink)
        return sink(line, true);
    std::fputs((QStringLiteral("horvex: ") + line + QLatin1Char('\n')).toUtf8().constData(),
               stderr);
    std::fflush(stderr);
}

int outputFailure() {
    if (std::fflush(stdout) != 0 && outputError == 0)
        outputError = errno;
    return outputError;
}

} // namespace horvex::cli

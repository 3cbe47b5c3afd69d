// horvex-reloj: a virtual bell clock. It listens on a pseudo-terminal (or on a
// serial device given on the command line, for a real null-modem cable) at
// 2400 8N1 and checks every upload frame as the clock would need it.

#include "listener.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <sched.h>

using namespace horvex::reloj;

namespace {

enum Exit { kGood = 0, kBad = 1, kLineError = 2, kUsage = 64 };

void print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// Prints one chunk; true when it was a good frame.
bool report(const Chunk& c, bool json) {
    const Decoded d = decode(c);
    if (json)
        print(QString::fromUtf8(
                  QJsonDocument(jsonReport(d, c.endedBySilence)).toJson(QJsonDocument::Compact)) +
              QLatin1Char('\n'));
    else
        print(textReport(d, c.endedBySilence) + QLatin1Char('\n'));
    return d.ok();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("horvex-reloj"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HORVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual bell clock: checks and shows every upload frame it receives.\n"
                       "Without a device it creates a pseudo-terminal and prints its path."));
    // Not addHelpOption(): it brings --help-all and Qt's own options with it.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("Exit after one frame: 0 if good, 1 if not."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print each frame as one line of JSON."));
    parser.addOptions({help, version, once, json});
    parser.addPositionalArgument(QStringLiteral("device"),
                                 QStringLiteral("Serial device to listen on, e.g. /dev/ttyUSB0."),
                                 QStringLiteral("[device]"));
    const auto usage = [](const QString& reason) {
        std::fprintf(stderr, "horvex-reloj: %s\nTry 'horvex-reloj --help'.\n", qPrintable(reason));
        return kUsage;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QCoreApplication::arguments().constFirst(), QStringLiteral("horvex-reloj"));
        print(text + QStringLiteral("\nExit status: 0 a good frame (with --once), 1 a bad one, 2 "
                                    "the line failed, 64 bad usage.\nSee also: man "
                                    "horvex-reloj\n"));
        return kGood;
    }
    if (parser.isSet(version)) {
        print(QStringLiteral("horvex-reloj %1\n").arg(QCoreApplication::applicationVersion()));
        return kGood;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1)
        return usage(QStringLiteral("one device at most; '%1' is one too many").arg(args.last()));
    QString error;
    const std::unique_ptr<Listener> line =
        args.isEmpty() ? Listener::openPty(&error) : Listener::openDevice(args.first(), &error);
    if (!line) {
        std::fprintf(stderr, "horvex-reloj: %s\n", qPrintable(error));
        return kLineError;
    }

    // Read at a real-time priority where the system allows it, so that the
    // gaps reported are the sender's pacing, not this program's reading delay.
    const sched_param high{20};
    sched_setscheduler(0, SCHED_FIFO, &high);

    // The path goes to stderr so that stdout carries nothing but frame reports.
    std::fprintf(stderr, "Virtual clock listening on %s (2400 8N1, raw)\n",
                 qPrintable(line->path()));
    std::fflush(stderr);
    while (const std::optional<Chunk> chunk = line->next()) {
        const bool good = report(*chunk, parser.isSet(json));
        if (parser.isSet(once))
            return good ? kGood : kBad;
    }
    std::fprintf(stderr, "horvex-reloj: %s\n", qPrintable(line->error()));
    return kLineError;
}

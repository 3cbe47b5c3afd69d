#include "cli/cli.h"

#include "cli/commands.h"
#include "schedule/failure.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <functional>

namespace horvex::cli {

void say(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void complain(const QString& line) {
    std::fputs((QStringLiteral("horvex: ") + line + QLatin1Char('\n')).toUtf8().constData(),
               stderr);
    std::fflush(stderr);
}

namespace {

// Qt writes the help's headings in English; the rest of it is ours.
QString spanishHelp(QString text) {
    const QString program = QCoreApplication::arguments().constFirst();
    text.replace(QStringLiteral("Usage: ") + program + QStringLiteral(" [options]"),
                 QStringLiteral("Uso: horvex [opciones]"));
    text.replace(QStringLiteral("\nOptions:\n"), QStringLiteral("\nOpciones:\n"));
    text.replace(QStringLiteral("\nArguments:\n"), QStringLiteral("\nArgumentos:\n"));
    return text.trimmed();
}

struct Command {
    QCommandLineOption option;
    std::function<int(const Request&)> run;
};

} // namespace

int run(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.12"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Programa el reloj de timbres (RELOJ) por el puerto serie.\n"
                       "Sin opciones abre la ventana; con una orden la cumple sin ventana."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Muestra esta ayuda."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Muestra la versión."));
    const std::vector<Command> commands{
        {{QStringLiteral("sync"),
          QStringLiteral("Envía al reloj la hora del PC y el horario guardado.")},
         runSync},
        {{QStringLiteral("print-frame"),
          QStringLiteral("Muestra la trama que enviaría --sync, sin abrir el puerto.")},
         runPrintFrame},
        {{QStringLiteral("history"), QStringLiteral("Muestra los últimos envíos (10 si no se "
                                                    "indica N).")},
         runHistory},
        {{QStringLiteral("list-ports"),
          QStringLiteral("Muestra los puertos serie de este equipo.")},
         runListPorts},
        {{QStringLiteral("map-port"),
          QStringLiteral("Asigna el puerto N a un dispositivo (N= quita la asignación)."),
          QStringLiteral("N=DISPOSITIVO")},
         runMapPort},
        {{QStringLiteral("export"),
          QStringLiteral("Guarda el horario en un archivo (- para la salida estándar)."),
          QStringLiteral("ARCHIVO")},
         runExport},
        {{QStringLiteral("import"),
          QStringLiteral("Reemplaza el horario guardado por el de un archivo."),
          QStringLiteral("ARCHIVO")},
         runImport},
        {{QStringLiteral("show"),
          QStringLiteral("Muestra el horario guardado (o el de un archivo) ordenado por hora.")},
         runShow},
    };
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Usa el puerto N en vez del guardado."),
                                  QStringLiteral("N"));
    const QCommandLineOption schedule(
        QStringLiteral("schedule"),
        QStringLiteral("Con --sync o --print-frame: usa el horario de ARCHIVO."),
        QStringLiteral("ARCHIVO"));
    parser.addOption(help);
    parser.addOption(version);
    for (const Command& c : commands)
        parser.addOption(c.option);
    const QCommandLineOption frames(QStringLiteral("frames"),
                                    QStringLiteral("Con --history: muestra también la trama de "
                                                   "cada envío, en hexadecimal."));
    parser.addOption(port);
    parser.addOption(schedule);
    parser.addOption(frames);
    parser.addPositionalArgument(QStringLiteral("N|ARCHIVO"),
                                 QStringLiteral("Con --history, cuántos envíos; con --show, el "
                                                "archivo."),
                                 QStringLiteral("[N|ARCHIVO]"));

    const auto usage = [&](const QString& reason) {
        complain(reason);
        complain(QStringLiteral("use «horvex --help» para ver las opciones"));
        return kUsage;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        say(spanishHelp(parser.helpText()));
        return kOk;
    }
    if (parser.isSet(version)) {
        say(QStringLiteral("Horvex 1.12"));
        return kOk;
    }
    const Command* chosen = nullptr;
    for (const Command& c : commands) {
        if (!parser.isSet(c.option))
            continue;
        if (chosen != nullptr)
            return usage(QStringLiteral("las órdenes --%1 y --%2 no se pueden combinar")
                             .arg(chosen->option.names().first(), c.option.names().first()));
        chosen = &c;
    }
    if (chosen == nullptr)
        return usage(QStringLiteral("falta una orden (por ejemplo --sync)"));

    Request r;
    if (parser.isSet(port)) {
        bool ok = false;
        const int n = parser.value(port).toInt(&ok);
        if (!ok || n < 1 || n > 255)
            return usage(QStringLiteral("--port: «%1» no es un número de puerto de 1 a 255")
                             .arg(parser.value(port)));
        r.port = n;
    }
    r.schedule = parser.value(schedule);
    const QString name = chosen->option.names().first();
    const QStringList rest = parser.positionalArguments();
    const bool takesPositional = name == QLatin1String("history") || name == QLatin1String("show");
    if (rest.size() > (takesPositional ? 1 : 0))
        return usage(QStringLiteral("sobra «%1»").arg(rest.last()));
    if (name == QLatin1String("history") && !rest.isEmpty()) {
        bool ok = false;
        r.historyCount = rest.first().toInt(&ok);
        if (!ok || r.historyCount < 1)
            return usage(
                QStringLiteral("--history: «%1» no es un número positivo").arg(rest.first()));
    }
    if (name == QLatin1String("show") && !rest.isEmpty())
        r.file = rest.first();
    if (chosen->option.valueName().size() > 0) {
        if (name == QLatin1String("map-port"))
            r.mapping = parser.value(chosen->option);
        else
            r.file = parser.value(chosen->option);
    }
    if ((parser.isSet(port) || parser.isSet(schedule)) && name != QLatin1String("sync") &&
        name != QLatin1String("print-frame"))
        return usage(QStringLiteral("--port y --schedule van con --sync o --print-frame"));
    if (parser.isSet(frames) && name != QLatin1String("history"))
        return usage(QStringLiteral("--frames va con --history"));
    r.frames = parser.isSet(frames);
    // A command that cannot go on says why and has done nothing.
    try {
        return chosen->run(r);
    } catch (const Failure& failure) {
        complain(failure.description());
        return kFailed;
    }
}

} // namespace horvex::cli

#include "cli/cli.h"

#include "cli/commands.h"
#include "cli/options.h"
#include "clocklink/mscomm.h"
#include "schedule/failure.h"
#include "schedule/quoted.h"
#include "schedule/system_reason.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace horvex::cli {

namespace {

const QString kVersion = QStringLiteral(HORVEX_VERSION);

QString positiveCount(const QString& value, int& count) {
    bool ok = false;
    count = value.toInt(&ok);
    return ok && count >= 1
               ? QString()
               : QStringLiteral("--history: %1 no es un número positivo").arg(quoted(value));
}

QString portNumber(const QString& value, std::optional<int>& port) {
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < MSComm1::kFirstPort || n > MSComm1::kLastPort)
        return QStringLiteral("--port: %1 no es un número de puerto de 1 a 255").arg(quoted(value));
    port = n;
    return {};
}

QString dayValue(const QString& value, QDate& day) {
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$"));
    day = QDate::fromString(value, Qt::ISODate);
    return form.match(value).hasMatch() && day.isValid()
               ? QString()
               : QStringLiteral("--day: %1 no es una fecha AAAA-MM-DD que exista")
                     .arg(quoted(value));
}

// Every command and option. A command runs; an option names the commands
// it goes with.
std::vector<Row> commandLine() {
    const auto file = [](const QString& v, Request& r) { return r.file = v, QString(); };
    const QStringList sending{QStringLiteral("sync"), QStringLiteral("print-frame")};
    return {
        {QStringLiteral("sync"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Envía al reloj la hora del PC y el horario guardado, o lo que toca "
                        "según el calendario."),
         {},
         {},
         runSync},
        {QStringLiteral("print-frame"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Muestra la trama que enviaría --sync, sin abrir el puerto."),
         {},
         {},
         runPrintFrame},
        {QStringLiteral("history"),
         {},
         Takes::OptionalValue,
         QStringLiteral("N"),
         QStringLiteral("Muestra los últimos N envíos (10 si no se indica N)."),
         {},
         [](const QString& v, Request& r) { return positiveCount(v, r.historyCount); },
         runHistory},
        {QStringLiteral("list-ports"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Muestra los puertos serie de este equipo."),
         {},
         {},
         runListPorts},
        {QStringLiteral("map-port"),
         {},
         Takes::Value,
         QStringLiteral("N=DISPOSITIVO"),
         QStringLiteral("Asigna el puerto N a un dispositivo serie (N= quita la asignación)."),
         {},
         [](const QString& v, Request& r) { return r.mapping = v, QString(); },
         runMapPort},
        {QStringLiteral("export"),
         {},
         Takes::Value,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Guarda el horario en un archivo (- para la salida estándar)."),
         {},
         file,
         runExport},
        {QStringLiteral("import"),
         {},
         Takes::Value,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Reemplaza el horario guardado por el de un archivo."),
         {},
         file,
         runImport},
        {QStringLiteral("show"),
         {},
         Takes::OptionalValue,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Muestra el horario guardado (o el de un archivo) ordenado por hora."),
         {},
         file,
         runShow},
        {QStringLiteral("day"),
         {},
         Takes::Value,
         QStringLiteral("AAAA-MM-DD"),
         QStringLiteral("Muestra qué horario usa ese día, la regla del calendario que lo elige y "
                        "sus timbres."),
         {},
         [](const QString& v, Request& r) { return dayValue(v, r.day); },
         runDay},
        {QStringLiteral("plan"),
         {},
         Takes::OptionalValue,
         QStringLiteral("MESES"),
         QStringLiteral("Dibuja el mes AAAA-MM (este si no se indica) con el horario de cada día "
                        "y los próximos 7 días; o los meses de un año AAAA, o de AAAA-MM..AAAA-MM "
                        "(un curso: 2026-09..2027-06), con una leyenda."),
         {},
         [](const QString& v, Request& r) {
             const std::variant<MonthSpan, QString> months = monthsNamed(v);
             if (const QString* wrong = std::get_if<QString>(&months))
                 return QStringLiteral("--plan: ") + *wrong;
             return r.plan = std::get<MonthSpan>(months), QString();
         },
         runPlan},
        {QStringLiteral("check"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Revisa el calendario, sus horarios y sus .ics: cada error con su archivo "
                        "y línea."),
         {},
         {},
         runCheck},
        {QStringLiteral("status"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Dice si el reloj está al día y por qué no: lo que tiene, hasta cuándo "
                        "vale, la última pasada del temporizador, el calendario. La primera línea "
                        "y el código de salida son los de los programas de monitorización."),
         {},
         {},
         runStatus},
        {QStringLiteral("calendar-window"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Abre la ventana «Calendario de timbres»."),
         {},
         {},
         // The window opens before the command line runs (calendarWindowFile).
         [](const Request&) { return kUsage; }},
        {QStringLiteral("help"),
         QLatin1Char('h'),
         Takes::Nothing,
         {},
         QStringLiteral("Muestra esta ayuda."),
         {},
         {},
         [](const Request&) { return kOk; }, // said by runCommandLine, which has the rows
         true},
        {QStringLiteral("version"),
         QLatin1Char('v'),
         Takes::Nothing,
         {},
         QStringLiteral("Muestra la versión."),
         {},
         {},
         [](const Request&) { return say(QStringLiteral("Horvex ") + kVersion), kOk; },
         true},
        {QStringLiteral("port"),
         {},
         Takes::Value,
         QStringLiteral("N"),
         QStringLiteral("Usa el puerto N (1 a 255) en vez del guardado."),
         {QStringLiteral("sync")},
         [](const QString& v, Request& r) { return portNumber(v, r.port); }},
        {QStringLiteral("frames"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Muestra también la trama de cada envío, en hexadecimal."),
         {QStringLiteral("history")},
         [](const QString&, Request& r) { return r.frames = true, QString(); }},
        {QStringLiteral("schedule"),
         {},
         Takes::Value,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Usa el horario de ARCHIVO en vez del guardado."),
         sending,
         [](const QString& v, Request& r) { return r.schedule = v, QString(); }},
        {QStringLiteral("calendar"),
         {},
         Takes::Value,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Usa este calendario en vez de calendario.ini junto a Horvex.conf."),
         {QStringLiteral("sync"), QStringLiteral("print-frame"), QStringLiteral("day"),
          QStringLiteral("plan"), QStringLiteral("check"), QStringLiteral("status"),
          QStringLiteral("calendar-window")},
         [](const QString& v, Request& r) { return r.calendar = v, QString(); }},
        {QStringLiteral("pdf"),
         {},
         Takes::Value,
         QStringLiteral("ARCHIVO"),
         QStringLiteral("Escribe el plan en un PDF para imprimir, en color y con la leyenda: una "
                        "hoja A4 apaisada por cada 12 meses (- para la salida estándar)."),
         {QStringLiteral("plan")},
         [](const QString& v, Request& r) { return r.pdf = v, QString(); }},
        {QStringLiteral("if-needed"),
         {},
         Takes::Nothing,
         {},
         QStringLiteral("Envía solo si hace falta: lo primero del día, tras un cambio de hora o si "
                        "el reloj sonaría distinto; nunca a menos de un minuto de un timbre."),
         {QStringLiteral("sync")},
         [](const QString&, Request& r) { return r.ifNeeded = true, QString(); }},
    };
}

int runCommandLine(const QStringList& args) {
    const std::vector<Row> rows = commandLine();
    const Parsed parsed = parse(args, rows);
    if (parsed.command == nullptr) {
        complain(parsed.error);
        complain(QStringLiteral("use «horvex --help» para ver las opciones"));
        return kUsage;
    }
    if (parsed.command->name == QLatin1String("help")) {
        say(helpText(rows));
        return kOk;
    }
    // A command that cannot go on says why and has done nothing.
    try {
        return parsed.command->run(parsed.request);
    } catch (const Failure& failure) {
        complain(failure.description());
        return kFailed;
    }
}

} // namespace

bool asksForCalendarWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (const QByteArray arg(argv[i]);
            arg == "--calendar-window" || arg.startsWith("--calendar-window="))
            return true;
    return false;
}

std::variant<QString, int> calendarWindowFile(const QStringList& args) {
    // Qt's window options are the window's, read when it opens.
    const QStringList ours = withoutWindowOptions(args);
    const Parsed parsed = parse(ours, commandLine());
    if (parsed.command == nullptr || parsed.command->name != QLatin1String("calendar-window"))
        return runCommandLine(ours); // help, version or a usage error, said as always
    return parsed.request.calendar;
}

std::optional<QSet<QString>> windowOptions(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return windowOptions(args);
}

int run(int argc, char* argv[]) {
    // A PDF needs Qt's fonts, so its GUI part, but never a display.
    const bool drawing = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        const QByteArray a(arg);
        return a == "--pdf" || a.startsWith("--pdf=");
    });
    if (drawing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's own notes on the way (in English: "XDG_RUNTIME_DIR not set")
        // are for no one running a command; what fails, we say.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtFatalMsg)
                std::fputs((msg + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        });
    }
    const std::unique_ptr<QCoreApplication> app =
        drawing ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    QCoreApplication::setApplicationVersion(kVersion);
    const int code = runCommandLine(QCoreApplication::arguments().mid(1));
    // What a command said is part of its work: output that went nowhere fails.
    const int outputError = outputFailure();
    if (outputError == 0)
        return code;
    complain(QStringLiteral("no se pudo escribir en la salida estándar: %1")
                 .arg(systemReason(outputError)));
    return code == kOk ? kFailed : code;
}

} // namespace horvex::cli

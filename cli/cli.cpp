#include "cli/cli.h"

#include "cli/commands.h"
#include "cli/options.h"
#include "clocklink/mscomm.h"
#include "schedule/failure.h"
#include "schedule/quoted.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace horvex::cli {

namespace {

// The errno of the first write to standard output that failed (a full disk,
// a closed pipe), reported once the command is over.
int outputError = 0;

const QString kVersion = QStringLiteral(HORVEX_VERSION);
constexpr int kHelpWidth = 79;
constexpr int kHelpColumn = 26;

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

namespace {

// `text` in lines no wider than the help, each but the first indented; a
// no-break space keeps an option with its value.
QString wrapped(const QString& text, int indent) {
    QStringList lines{QString()};
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.last().isEmpty() && indent + lines.last().size() + 1 + word.size() > kHelpWidth)
            lines << QString();
        lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return lines.join(QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
}

QString helpEntry(const Row& row) {
    QString name =
        row.letter.isNull() ? QStringLiteral("    ") : QStringLiteral("-%1, ").arg(row.letter);
    name += QStringLiteral("--") + row.name;
    if (row.takes == Takes::Value)
        name += QLatin1Char(' ') + row.valueName;
    if (row.takes == Takes::OptionalValue)
        name += QStringLiteral(" [%1]").arg(row.valueName);
    QString text = row.help;
    if (!row.with.isEmpty())
        text += QStringLiteral(" Con ") + commandList(row.with) + QLatin1Char('.');
    name = QStringLiteral("  ") + name;
    const QString gap = name.size() < kHelpColumn
                            ? QString(kHelpColumn - name.size(), QLatin1Char(' '))
                            : QLatin1Char('\n') + QString(kHelpColumn, QLatin1Char(' '));
    return name + gap + wrapped(text, kHelpColumn);
}

QString helpText(const std::vector<Row>& rows) {
    QStringList commands;
    QStringList options;
    for (const Row& row : rows)
        (row.isCommand() ? commands : options) << helpEntry(row);
    return QStringList{
        QStringLiteral("Uso: horvex [ORDEN [OPCIONES]]"),
        QStringLiteral("Programa el reloj de timbres (RELOJ) por el puerto serie."),
        QStringLiteral("Sin orden abre la ventana; con una orden la cumple sin ventana."),
        QString(),
        QStringLiteral("Órdenes (una cada vez):"),
        commands.join(QLatin1Char('\n')),
        QString(),
        QStringLiteral("Opciones:"),
        options.join(QLatin1Char('\n')),
        QString(),
        wrapped(QStringLiteral("Un valor se da también con = (--history=3). Sin orden valen las "
                               "opciones de la ventana de todo programa Qt: -style\u00a0ESTILO, "
                               "-platform\u00a0NOMBRE, -display\u00a0PANTALLA, -reverse, "
                               "-qwindowgeometry\u00a0ANCHOxALTO+X+Y."),
                0),
        QString(),
        QStringLiteral("Códigos de salida:"),
        QStringLiteral("  0   hecho (--sync: la trama salió entera; con --if-needed, o no hacía "
                       "falta)"),
        QStringLiteral("  1   no se hizo nada; el motivo está en la salida de errores"),
        QStringLiteral("      (--check: se hallaron errores)"),
        QStringLiteral("  2   --sync: la trama se cortó a medias"),
        QStringLiteral("  64  opciones mal dadas"),
        QStringLiteral("  --status: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN, como los programas de"),
        QStringLiteral("      monitorización (Nagios, Icinga, Zabbix, Checkmk)"),
        QString(),
        QStringLiteral("Ejemplos:"),
        QStringLiteral("  horvex --sync                     envía la hora y el horario guardado"),
        QStringLiteral("  horvex --map-port 4=/dev/ttyUSB0  COM4 abre el adaptador USB"),
        QStringLiteral("  horvex --export horario.ini       guarda el horario en un archivo"),
        QStringLiteral("  horvex --plan 2027-03             el mes con el horario de cada día"),
        QStringLiteral(
            "  horvex --status                   si el reloj está al día, y hasta cuándo"),
        QString(),
        QStringLiteral("Más información: man horvex")}
        .join(QLatin1Char('\n'));
}

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

QString monthValue(const QString& value, QDate& month) {
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d$"));
    month = QDate::fromString(value + QStringLiteral("-01"), Qt::ISODate);
    return form.match(value).hasMatch() && month.isValid()
               ? QString()
               : QStringLiteral("--plan: %1 no es un mes AAAA-MM").arg(quoted(value));
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
         QStringLiteral("AAAA-MM"),
         QStringLiteral("Dibuja el mes (este si no se indica) con el horario de cada día, y los "
                        "próximos 7 días."),
         {},
         [](const QString& v, Request& r) { return monthValue(v, r.month); },
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
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    QCoreApplication::setApplicationVersion(kVersion);
    const int code = runCommandLine(QCoreApplication::arguments().mid(1));
    // What a command said is part of its work: output that went nowhere fails.
    if (std::fflush(stdout) != 0 && outputError == 0)
        outputError = errno;
    if (outputError == 0)
        return code;
    complain(QStringLiteral("no se pudo escribir en la salida estándar: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(outputError))));
    return code == kOk ? kFailed : code;
}

} // namespace horvex::cli

// --help, made from the rows of the command line.

#include "cli/options.h"

namespace horvex::cli {

namespace {

constexpr int kHelpWidth = 79;
constexpr int kHelpColumn = 26;

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

} // namespace

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
        QStringLiteral("  horvex --plan 2026-09..2027-06    el curso, mes a mes"),
        QStringLiteral("  horvex --plan 2027 --pdf plan.pdf el año en un PDF para imprimir"),
        QStringLiteral(
            "  horvex --status                   si el reloj está al día, y hasta cuándo"),
        QString(),
        QStringLiteral("Más información: man horvex")}
        .join(QLatin1Char('\n'));
}

} // namespace horvex::cli

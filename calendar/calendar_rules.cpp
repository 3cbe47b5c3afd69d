#include "calendar/calendar_rules.h"

#include "schedule/ini_document.h"
#include "schedule/quoted.h"

#include <QRegularExpression>
#include <array>
#include <optional>
#include <variant>

namespace horvex {

namespace {

const std::array<QString, 7> kWeekdays{
    QStringLiteral("lunes"),   QStringLiteral("martes"),  QStringLiteral("miercoles"),
    QStringLiteral("jueves"),  QStringLiteral("viernes"), QStringLiteral("sabado"),
    QStringLiteral("domingo"),
};

// Between the first and the last date of a range.
const QString kRangeDots = QStringLiteral("..");

enum class Section { None, Semana, Fechas, Calendarios, Unknown };

Section sectionOf(const QString& header) {
    const QString name = header.mid(1, header.size() - 2).trimmed();
    for (const auto& [text, section] :
         {std::pair(kSemanaSection, Section::Semana), std::pair(kFechasSection, Section::Fechas),
          std::pair(kCalendariosSection, Section::Calendarios)})
        if (header.endsWith(QLatin1Char(']')) && name.compare(text, Qt::CaseInsensitive) == 0)
            return section;
    return Section::Unknown;
}

// The date of "AAAA-MM-DD", or why there is none.
std::variant<QDate, QString> parseDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return QStringLiteral("%1 no es una fecha AAAA-MM-DD ni un rango AAAA-MM-DD..AAAA-MM-DD")
            .arg(quoted(text));
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return QStringLiteral("la fecha %1 no existe").arg(text);
    return date;
}

// The value of a line, or why there is none.
std::variant<DayValue, QString> parseValue(QString text) {
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2);
    if (text.isEmpty())
        return QStringLiteral(
            "falta el horario: un archivo de horario, silencio, libre o guardado");
    return dayValueNamed(text);
}

// Fills the dates of a [Fechas] key, or says why it cannot.
std::optional<QString> readDates(CalendarRule& rule) {
    const qsizetype dots = rule.key.indexOf(kRangeDots);
    const auto first = parseDate(dots < 0 ? rule.key : rule.key.left(dots).trimmed());
    if (const QString* wrong = std::get_if<QString>(&first))
        return *wrong;
    rule.first = rule.last = std::get<QDate>(first);
    rule.kind = CalendarRule::Kind::Date;
    if (dots < 0)
        return std::nullopt;
    const auto last = parseDate(rule.key.mid(dots + kRangeDots.size()).trimmed());
    if (const QString* wrong = std::get_if<QString>(&last))
        return *wrong;
    rule.last = std::get<QDate>(last);
    rule.kind = CalendarRule::Kind::Range;
    if (rule.last < rule.first)
        return QStringLiteral("el rango %1 termina antes de empezar").arg(shown(rule.key));
    return std::nullopt;
}

std::optional<QString> readWeekday(CalendarRule& rule) {
    rule.kind = CalendarRule::Kind::Weekday;
    for (std::size_t i = 0; i < kWeekdays.size(); ++i)
        if (rule.key.compare(kWeekdays[i], Qt::CaseInsensitive) == 0) {
            rule.weekday = static_cast<int>(i) + 1;
            return std::nullopt;
        }
    return QStringLiteral("día de la semana desconocido %1 (se escriben sin acentos: lunes, "
                          "martes, miercoles, jueves, viernes, sabado, domingo)")
        .arg(quoted(rule.key));
}

} // namespace

DayValue dayValueNamed(const QString& name) {
    if (name.compare(QLatin1String("silencio"), Qt::CaseInsensitive) == 0)
        return {DayValue::Kind::Silencio, {}};
    if (name.compare(QLatin1String("guardado"), Qt::CaseInsensitive) == 0)
        return {DayValue::Kind::Guardado, {}};
    if (name.compare(QLatin1String("libre"), Qt::CaseInsensitive) == 0)
        return {DayValue::Kind::Libre, {}};
    return {DayValue::Kind::File, name};
}

QString DayValue::name() const {
    switch (kind) {
    case Kind::Guardado:
        return QStringLiteral("guardado");
    case Kind::Silencio:
        return QStringLiteral("silencio");
    case Kind::Libre:
        return QStringLiteral("libre");
    case Kind::File:
        break;
    }
    return file;
}

QString CalendarRule::name() const {
    const QString& section = kind == Kind::Weekday    ? kSemanaSection
                             : kind == Kind::Calendar ? kCalendariosSection
                                                      : kFechasSection;
    return QStringLiteral("[%1] %2").arg(section, key);
}

QString CalendarRule::describe() const {
    return QStringLiteral("%1=%2 (línea %3)").arg(name(), value.name()).arg(line);
}

QString weekdayKey(int weekday) {
    return kWeekdays.at(static_cast<std::size_t>(weekday - 1));
}

QString datesKey(QDate first, QDate last) {
    const QString from = first.toString(Qt::ISODate);
    return first == last ? from : from + kRangeDots + last.toString(Qt::ISODate);
}

ParsedCalendar parseCalendarRules(const QByteArray& bytes) {
    ParsedCalendar out;
    const QStringList lines = contentLines(bytes);
    Section section = Section::None;
    for (int n = 1; n <= lines.size(); ++n) {
        const QString& line = lines[n - 1];
        const auto problem = [&](const QString& text) { out.problems.push_back({n, text}); };
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            section = sectionOf(line);
            if (section == Section::Unknown)
                problem(QStringLiteral("sección %1 desconocida: un calendario tiene [Semana], "
                                       "[Fechas] y [Calendarios]")
                            .arg(shown(line)));
            continue;
        }
        if (section == Section::Unknown) // its header was named
            continue;
        if (section == Section::None) {
            problem(
                QStringLiteral("%1 fuera de [Semana], [Fechas] o [Calendarios]").arg(quoted(line)));
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            problem(QStringLiteral("%1: se espera CLAVE=HORARIO").arg(quoted(line)));
            continue;
        }
        CalendarRule rule;
        rule.line = n;
        rule.key = line.left(eq).trimmed();
        const auto value = parseValue(line.mid(eq + 1).trimmed());
        std::optional<QString> wrong;
        if (section == Section::Fechas)
            wrong = readDates(rule);
        else if (section == Section::Semana)
            wrong = readWeekday(rule);
        else
            rule.kind = CalendarRule::Kind::Calendar;
        if (!wrong)
            if (const QString* why = std::get_if<QString>(&value))
                wrong = QStringLiteral("%1: %2").arg(shown(rule.key), *why);
        if (wrong) {
            problem(*wrong);
            continue;
        }
        // Far more than a school's year needs; conflicts are looked for
        // between every two rules.
        constexpr std::size_t kMostRules = 2000;
        if (out.rules.size() == kMostRules) {
            problem(QStringLiteral("más de %1 reglas: esta y las siguientes no se leen")
                        .arg(kMostRules));
            break;
        }
        rule.value = std::get<DayValue>(value);
        out.rules.push_back(std::move(rule));
    }
    return out;
}

} // namespace horvex

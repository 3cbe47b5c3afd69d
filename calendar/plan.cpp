#include "calendar/plan.h"

#include "calendar/rolling_day.h"
#include "schedule/failure.h"
#include "schedule/quoted.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <array>

namespace horvex {

namespace {

const std::array<QString, 7> kShortDays{
    QStringLiteral("lu"), QStringLiteral("ma"), QStringLiteral("mi"), QStringLiteral("ju"),
    QStringLiteral("vi"), QStringLiteral("sá"), QStringLiteral("do")};
const std::array<QString, 7> kDays{QStringLiteral("lunes"),     QStringLiteral("martes"),
                                   QStringLiteral("miércoles"), QStringLiteral("jueves"),
                                   QStringLiteral("viernes"),   QStringLiteral("sábado"),
                                   QStringLiteral("domingo")};
const std::array<QString, 12> kMonths{
    QStringLiteral("enero"),   QStringLiteral("febrero"),   QStringLiteral("marzo"),
    QStringLiteral("abril"),   QStringLiteral("mayo"),      QStringLiteral("junio"),
    QStringLiteral("julio"),   QStringLiteral("agosto"),    QStringLiteral("septiembre"),
    QStringLiteral("octubre"), QStringLiteral("noviembre"), QStringLiteral("diciembre")};

constexpr QChar kConflict = QLatin1Char('!');
constexpr QChar kBroken = QLatin1Char('?');
constexpr int kCellWidth = 3; // "17E"

const QString& weekdayName(QDate d) {
    return kDays.at(static_cast<std::size_t>(d.dayOfWeek() - 1));
}

QString trimmedEnd(QString s) {
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}

// The month's title, weekdays and weeks; the marks used go into `seen`.
QStringList monthLines(const Calendar& calendar, const PlanMarks& marks, QDate first,
                       QSet<QChar>& seen) {
    const int width = 7 * (kCellWidth + 1) - 1;
    const QString title = MonthSpan{first, 1}.title();
    QStringList lines{QString((width - title.size()) / 2, QLatin1Char(' ')) + title};
    QStringList header;
    for (const QString& d : kShortDays)
        header << d.leftJustified(kCellWidth);
    lines << trimmedEnd(header.join(QLatin1Char(' ')));

    QString row = QString((first.dayOfWeek() - 1) * (kCellWidth + 1), QLatin1Char(' '));
    for (QDate d = first; d.month() == first.month(); d = d.addDays(1)) {
        const QChar mark = marks.of(calendar.day(d));
        seen.insert(mark);
        row += QStringLiteral("%1%2 ").arg(d.day(), 2).arg(mark);
        if (d.dayOfWeek() == 7 || d.addDays(1).month() != first.month()) {
            lines << trimmedEnd(row);
            row.clear();
        }
    }
    return lines;
}

QString legendLine(const Calendar& calendar, const PlanMarks& marks, const QSet<QChar>& seen) {
    QStringList legend;
    for (const PlanMarks::Entry& e : marks.legend(calendar.values(), seen))
        legend << QStringLiteral("%1 %2").arg(e.mark).arg(e.text);
    return legend.join(QStringLiteral("   "));
}

} // namespace

QString MonthSpan::title() const {
    const auto name = [](QDate m) {
        return monthName(m.month()) + QLatin1Char(' ') + QString::number(m.year());
    };
    return count == 1 ? name(first) : QStringLiteral("%1 a %2").arg(name(first), name(last()));
}

std::variant<MonthSpan, QString> monthsNamed(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})(?:-(\\d\\d))?(?:\\.\\.(\\d{4})-(\\d\\d))?$"));
    const QRegularExpressionMatch m = form.match(text);
    const auto month = [&](int year, int at) {
        return QDate(m.captured(year).toInt(), m.captured(at).toInt(), 1);
    };
    const bool range = m.hasMatch() && !m.captured(3).isEmpty();
    // A year alone must exist too: Qt has no year 0.
    if (!m.hasMatch() || (range && m.captured(2).isEmpty()) ||
        !(m.captured(2).isEmpty() ? QDate(m.captured(1).toInt(), 1, 1) : month(1, 2)).isValid() ||
        (range && !month(3, 4).isValid()))
        return QStringLiteral("%1 no es un mes AAAA-MM, un año AAAA ni unos meses AAAA-MM..AAAA-MM")
            .arg(quoted(text));
    if (m.captured(2).isEmpty())
        return MonthSpan{QDate(m.captured(1).toInt(), 1, 1), 12};
    const QDate first = month(1, 2);
    const QDate last = range ? month(3, 4) : first;
    const int count = (last.year() - first.year()) * 12 + last.month() - first.month() + 1;
    if (count < 1)
        return QStringLiteral("«%1»: el último mes va antes del primero").arg(text);
    if (count > kMostPlanMonths)
        return QStringLiteral("«%1» son %2 meses; se dibujan %3 como mucho")
            .arg(text)
            .arg(count)
            .arg(kMostPlanMonths);
    return MonthSpan{first, count};
}

const QString& monthName(int month) {
    return kMonths.at(static_cast<std::size_t>(month - 1));
}

PlanMarks::PlanMarks(const std::vector<DayValue>& values) {
    QSet<QChar> taken{kConflict, kBroken};
    const QString spare = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    for (const DayValue& v : values) {
        QChar mark = QLatin1Char('*');
        if (v.kind == DayValue::Kind::Guardado)
            mark = QLatin1Char('.');
        else if (v.kind == DayValue::Kind::Silencio)
            mark = QLatin1Char('-');
        else if (v.kind == DayValue::Kind::Libre)
            mark = QLatin1Char('~');
        else
            for (const QChar c : QFileInfo(v.file).fileName().toUpper() + spare)
                if (spare.contains(c) && !taken.contains(c)) {
                    mark = c;
                    break;
                }
        taken.insert(mark);
        marks_.insert(v.name(), mark);
    }
}

QChar PlanMarks::of(const DayChoice& day) const {
    if (!day.overruled.isEmpty())
        return kConflict;
    if (!day.schedule)
        return kBroken;
    return marks_.value(day.value.name());
}

std::vector<PlanMarks::Entry> PlanMarks::legend(const std::vector<DayValue>& values,
                                                const QSet<QChar>& seen) const {
    std::vector<Entry> entries;
    for (const DayValue& v : values)
        if (seen.contains(marks_.value(v.name())))
            entries.push_back({marks_.value(v.name()), v.name(), v});
    if (seen.contains(kConflict))
        entries.push_back({kConflict, QStringLiteral("conflicto"), std::nullopt});
    if (seen.contains(kBroken))
        entries.push_back({kBroken, QStringLiteral("horario con errores"), std::nullopt});
    return entries;
}

QString planText(const Calendar& calendar, int year, int month, QDate today) {
    const PlanMarks marks(calendar.values());
    QSet<QChar> seen;
    QStringList lines = monthLines(calendar, marks, QDate(year, month, 1), seen);
    lines << QString() << legendLine(calendar, marks, seen) << QString()
          << QStringLiteral("Próximos 7 días:");
    for (int i = 0; i < 7; ++i) {
        const DayChoice day = calendar.day(today.addDays(i));
        lines << QStringLiteral("%1 %2 %3 %4  %5")
                     .arg(kShortDays.at(static_cast<std::size_t>(day.date.dayOfWeek() - 1)),
                          day.date.toString(Qt::ISODate), marks.of(day), day.value.name(),
                          day.rule);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString monthsText(const Calendar& calendar, const MonthSpan& span) {
    const PlanMarks marks(calendar.values());
    QSet<QChar> seen;
    QStringList lines;
    for (int i = 0; i < span.count; ++i)
        lines << monthLines(calendar, marks, span.month(i), seen) << QString();
    lines << legendLine(calendar, marks, seen);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString dayText(const Calendar& calendar, QDate date) {
    const DayChoice day = calendar.day(date);
    QStringList lines{QStringLiteral("%1 %2: %3")
                          .arg(date.toString(Qt::ISODate), weekdayName(date), day.value.name()),
                      QStringLiteral("Regla: %1").arg(day.rule)};
    for (const QString& other : day.overruled)
        lines << QStringLiteral("Conflicto: también %1; gana la escrita después").arg(other);
    if (day.value.kind == DayValue::Kind::Libre) {
        const DayChoice next = nextSchoolDay(calendar, date.addDays(1));
        lines << (next.value.kind == DayValue::Kind::Libre
                      ? QStringLiteral("Día libre, y los %1 siguientes también: el reloj no "
                                       "tiene timbres que guardar para ninguno.")
                            .arg(kFreeDaysAhead)
                      : QStringLiteral("Día libre: nadie en el colegio; el reloj puede sonar ya "
                                       "los timbres del siguiente día lectivo, el %1 %2.")
                            .arg(weekdayName(next.date), next.date.toString(Qt::ISODate)));
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    if (!day.schedule) {
        lines << QStringLiteral("%1 tiene errores (horvex --check los muestra): este día no se "
                                "enviaría nada.")
                     .arg(day.value.name());
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    try {
        const std::vector<Bell> bells = bellsOf(*day.schedule);
        if (bells.empty())
            lines << QStringLiteral("Sin timbres.");
        else
            lines << QStringLiteral("Timbres (corto %1, largo %2):")
                         .arg(day.schedule->shortRing, day.schedule->longRing);
        for (const Bell& b : bells)
            lines << QStringLiteral("  ") + b.toString();
    } catch (const Failure& f) {
        lines << f.description();
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace horvex

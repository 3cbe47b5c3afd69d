#include "calendar/plan.h"

#include "calendar/rolling_day.h"
#include "schedule/failure.h"

#include <QFileInfo>
#include <QHash>
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

// "." for guardado, "-" for silencio, "~" for libre, and for each schedule file the first
// letter of its name that no other mark has taken.
QHash<QString, QChar> marksOf(const std::vector<DayValue>& values) {
    QHash<QString, QChar> marks;
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
        marks.insert(v.name(), mark);
    }
    return marks;
}

QChar markOf(const DayChoice& day, const QHash<QString, QChar>& marks) {
    if (!day.overruled.isEmpty())
        return kConflict;
    if (!day.schedule)
        return kBroken;
    return marks.value(day.value.name());
}

QString trimmedEnd(QString s) {
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}

} // namespace

QString planText(const Calendar& calendar, int year, int month, QDate today) {
    const QHash<QString, QChar> marks = marksOf(calendar.values());
    const QDate first(year, month, 1);
    const int width = 7 * (kCellWidth + 1) - 1;
    const QString title =
        kMonths.at(static_cast<std::size_t>(month - 1)) + QLatin1Char(' ') + QString::number(year);
    QStringList lines{QString((width - title.size()) / 2, QLatin1Char(' ')) + title};
    QStringList header;
    for (const QString& d : kShortDays)
        header << d.leftJustified(kCellWidth);
    lines << trimmedEnd(header.join(QLatin1Char(' ')));

    QSet<QChar> seen;
    QString row = QString((first.dayOfWeek() - 1) * (kCellWidth + 1), QLatin1Char(' '));
    for (QDate d = first; d.month() == month; d = d.addDays(1)) {
        const QChar mark = markOf(calendar.day(d), marks);
        seen.insert(mark);
        row += QStringLiteral("%1%2 ").arg(d.day(), 2).arg(mark);
        if (d.dayOfWeek() == 7 || d.addDays(1).month() != month) {
            lines << trimmedEnd(row);
            row.clear();
        }
    }

    QStringList legend;
    for (const DayValue& v : calendar.values())
        if (seen.contains(marks.value(v.name())))
            legend << QStringLiteral("%1 %2").arg(marks.value(v.name())).arg(v.name());
    if (seen.contains(kConflict))
        legend << QStringLiteral("%1 conflicto").arg(kConflict);
    if (seen.contains(kBroken))
        legend << QStringLiteral("%1 horario con errores").arg(kBroken);
    lines << QString() << legend.join(QStringLiteral("   ")) << QString()
          << QStringLiteral("Próximos 7 días:");
    for (int i = 0; i < 7; ++i) {
        const DayChoice day = calendar.day(today.addDays(i));
        const QChar mark = markOf(day, marks);
        lines << QStringLiteral("%1 %2 %3 %4  %5")
                     .arg(kShortDays.at(static_cast<std::size_t>(day.date.dayOfWeek() - 1)),
                          day.date.toString(Qt::ISODate), mark, day.value.name(), day.rule);
    }
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

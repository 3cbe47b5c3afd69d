#include "schedule/typed_time.h"

#include "schedule/lists.h"
#include "schedule/quoted.h"

#include <QRegularExpression>

namespace horvex {

std::variant<TypedTime, QString> parseTypedTime(const QString& text) {
    // ASCII digits only: \d would take other scripts' digits too.
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2})(?:([:.hH])([0-9]{0,2}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    const QString shownText = quoted(text);
    if (!m.hasMatch()) {
        static const QRegularExpression comma(QStringLiteral("^[0-9]{1,2},[0-9]{2}$"));
        if (comma.match(text).hasMatch())
            return QStringLiteral("%1: la hora se separa del minuto con «:», «.» o «h», no con "
                                  "una coma (%2)")
                .arg(shownText, QString(text).replace(QLatin1Char(','), QLatin1Char(':')));
        return QStringLiteral("%1 no es una hora (valen 8:30, 8.30, 8h30 y 8h)").arg(shownText);
    }
    const int hour = m.captured(1).toInt();
    const QString separator = m.captured(2);
    const QString minutes = m.captured(3);
    if (separator.isEmpty() ||
        (minutes.isEmpty() && separator.compare(QLatin1String("h"), Qt::CaseInsensitive) != 0))
        return QStringLiteral("%1: falta el minuto (%2:00)").arg(shownText).arg(hour);
    if (minutes.size() == 1)
        return QStringLiteral("%1: el minuto se escribe con dos cifras (%2 o %3)")
            .arg(shownText, QStringLiteral("%1:0%2").arg(hour).arg(minutes),
                 QString::number(hour) + QLatin1Char(':') + minutes + QLatin1Char('0'));
    const int minute = minutes.isEmpty() ? 0 : minutes.toInt();
    if (hour > kHourList.last)
        return QStringLiteral("%1: la hora %2 no existe (las horas van de 0 a 23)")
            .arg(shownText)
            .arg(hour);
    if (minute > kMinuteList.last)
        return QStringLiteral("%1: el minuto %2 no existe (los minutos van de 00 a 59)")
            .arg(shownText)
            .arg(minute);
    return TypedTime{hour, minute};
}

} // namespace horvex

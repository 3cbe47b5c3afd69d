#include "schedule/clock_display.h"

#include "schedule/lists.h"

#include <QDateTime>

namespace horvex {

QString MostrarHora(Module1& m, const ClockReading& now) {
    const QString hexMark = QStringLiteral("&H");
    // One reading for all three fields: read one by one they can tear at a
    // minute or hour boundary (09:59:59 read as 09:00:00).
    const QTime reading = now();

    m.ValorAct = reading.hour();
    m.HoraAct = twoDigitText(m.ValorAct);
    QString label = m.HoraAct + QLatin1Char(':');
    m.HoraAct = hexMark + m.HoraAct;

    m.ValorAct = reading.minute();
    m.MinAct = twoDigitText(m.ValorAct);
    label += m.MinAct + QLatin1Char(':');
    m.MinAct = hexMark + m.MinAct;

    m.ValorAct = reading.second();
    m.SegAct = twoDigitText(m.ValorAct);
    label += m.SegAct + QStringLiteral("  ");
    m.SegAct = hexMark + m.SegAct;

    return label;
}

QTime localTimeOfDay() {
    return QTime::currentTime();
}

} // namespace horvex

#include "schedule/clock_display.h"

#include <QDateTime>

namespace horvex {

namespace {

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString MostrarHora(Module1& m, const ClockReading& now) {
    const QString hexMark = QStringLiteral("&H");
    // One reading for all three fields: read one by one they can tear at a
    // minute or hour boundary (09:59:59 read as 09:00:00).
    const QTime reading = now();

    m.ValorAct = reading.hour();
    m.HoraAct = twoDigits(m.ValorAct);
    QString label = m.HoraAct + QLatin1Char(':');
    m.HoraAct = hexMark + m.HoraAct;

    m.ValorAct = reading.minute();
    m.MinAct = twoDigits(m.ValorAct);
    label += m.MinAct + QLatin1Char(':');
    m.MinAct = hexMark + m.MinAct;

    m.ValorAct = reading.second();
    m.SegAct = twoDigits(m.ValorAct);
    label += m.SegAct + QStringLiteral("  ");
    m.SegAct = hexMark + m.SegAct;

    return label;
}

QTime localTimeOfDay() {
    return QTime::currentTime();
}

} // namespace horvex

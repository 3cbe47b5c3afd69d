#include "report.h"

#include <QJsonArray>
#include <QStringList>
#include <cmath>

namespace horvex::reloj {

namespace {

QString two(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString ms(double v) {
    return QString::number(v, 'f', 1);
}

double rounded(double v) {
    return std::round(v * 100) / 100;
}

QString slotCell(int i, const Slot& s) {
    const QString what =
        s.unset() ? QStringLiteral("--:--  unset")
                  : QStringLiteral("%1:%2  %3")
                        .arg(two(s.hour), two(s.minute),
                             s.longRing ? QStringLiteral("long ") : QStringLiteral("short"));
    return QStringLiteral("H%1  %2").arg(two(i), what);
}

QString gapLine(const Decoded& d) {
    if (!d.gaps || d.gaps->count == 0)
        return {};
    const GapStats& g = *d.gaps;
    return QStringLiteral("Gaps between characters (%1): min %2 ms, median %3 ms, max %4 ms\n")
        .arg(g.count)
        .arg(ms(g.minMs), ms(g.medianMs), ms(g.maxMs));
}

QString goodReport(const Decoded& d) {
    const Frame& f = *d.frame;
    QString out = QStringLiteral("Good frame, %1 bytes\n").arg(d.bytes.size());
    out += QStringLiteral("Time of day set: %1:%2:%3\n")
               .arg(two(f.hour), two(f.minute), two(f.second));
    if (d.clockOffsetMs)
        out += QStringLiteral("Time of day error: %1 ms (set time minus the PC's time when the "
                              "frame was complete)\n")
                   .arg(ms(*d.clockOffsetMs));
    out += QStringLiteral("Alarm slots:\n");
    constexpr int kRows = kSlotCount / 3;
    for (int r = 0; r < kRows; ++r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c) {
            const int i = c * kRows + r;
            cells << slotCell(i, f.alarms[static_cast<std::size_t>(i)]).leftJustified(20);
        }
        out +=
            QStringLiteral("  ") + cells.join(QStringLiteral("    ")).trimmed() + QLatin1Char('\n');
    }
    out +=
        QStringLiteral("Ring lengths: short %1, long %2\n").arg(two(f.shortRing), two(f.longRing));
    out += gapLine(d);
    out += QStringLiteral("\aBEEP: the clock took the frame and beeped\n");
    return out;
}

} // namespace

QString textReport(const Decoded& d, bool endedBySilence) {
    if (d.ok())
        return goodReport(d);
    QString out =
        QStringLiteral("Bad frame, %1 bytes%2:\n")
            .arg(d.bytes.size())
            .arg(endedBySilence ? QStringLiteral(", then more than 1 s of silence") : QString());
    for (const Problem& p : d.problems)
        out += QStringLiteral("  ") + p.text() + QLatin1Char('\n');
    out += QStringLiteral("  received:\n");
    constexpr int kPerLine = 16;
    for (qsizetype at = 0; at < d.bytes.size(); at += kPerLine)
        out += QStringLiteral("    %1: %2\n")
                   .arg(at, 2, 10, QLatin1Char('0'))
                   .arg(QString::fromLatin1(d.bytes.mid(at, kPerLine).toHex(' ').toUpper()));
    out += gapLine(d);
    out += QStringLiteral("No beep.\n");
    return out;
}

QJsonObject jsonReport(const Decoded& d, bool endedBySilence) {
    QJsonObject o{{QStringLiteral("ok"), d.ok()},
                  {QStringLiteral("length"), static_cast<int>(d.bytes.size())},
                  {QStringLiteral("hex"), QString::fromLatin1(d.bytes.toHex(' ').toUpper())},
                  {QStringLiteral("endedBySilence"), endedBySilence}};
    if (d.frame) {
        const Frame& f = *d.frame;
        o.insert(QStringLiteral("time"),
                 QStringLiteral("%1:%2:%3").arg(two(f.hour), two(f.minute), two(f.second)));
        QJsonArray alarms;
        for (const Slot& s : f.alarms)
            alarms.append(QJsonObject{{QStringLiteral("hour"), s.hour},
                                      {QStringLiteral("minute"), s.minute},
                                      {QStringLiteral("long"), s.longRing},
                                      {QStringLiteral("unset"), s.unset()}});
        o.insert(QStringLiteral("slots"), alarms);
        if (d.clockOffsetMs)
            o.insert(QStringLiteral("clockOffsetMs"), rounded(*d.clockOffsetMs));
        o.insert(QStringLiteral("shortRing"), f.shortRing);
        o.insert(QStringLiteral("longRing"), f.longRing);
    }
    QJsonArray problems;
    for (const Problem& p : d.problems)
        problems.append(QJsonObject{{QStringLiteral("offset"), p.offset},
                                    {QStringLiteral("field"), p.field},
                                    {QStringLiteral("reason"), p.reason}});
    o.insert(QStringLiteral("problems"), problems);
    if (d.gaps && d.gaps->count > 0)
        o.insert(QStringLiteral("gapsMs"),
                 QJsonObject{{QStringLiteral("count"), d.gaps->count},
                             {QStringLiteral("min"), rounded(d.gaps->minMs)},
                             {QStringLiteral("median"), rounded(d.gaps->medianMs)},
                             {QStringLiteral("max"), rounded(d.gaps->maxMs)}});
    return o;
}

} // namespace horvex::reloj

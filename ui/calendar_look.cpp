#include "ui/calendar_look.h"

#include <QPalette>
#include <QWidget>
#include <cmath>

namespace horvex {

QColor textOn(const QColor& fill) {
    // Relative luminance, as contrast guidelines weigh it.
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double l = 0.2126 * linear(fill.redF()) + 0.7152 * linear(fill.greenF()) +
                     0.0722 * linear(fill.blueF());
    // Where black on the fill reads at least as well as white does.
    return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? QColor(Qt::black) : QColor(Qt::white);
}

QColor badText(const QWidget& on) {
    return on.palette().color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x8a, 0x80)
                                                                  : kAlarmRed;
}

QString ScheduleColours::legend(const std::vector<DayValue>& values) const {
    QStringList items;
    for (const DayValue& v : values) {
        const QColor fill = of(v);
        items << QStringLiteral(
                     "<span style=\"background-color:%1; color:%2\">&nbsp;%3&nbsp;</span>")
                     .arg(fill.name(), textOn(fill).name(), v.name().toHtmlEscaped());
    }
    const QString badge = QStringLiteral("<span style=\"background-color:%1; color:#ffffff\">"
                                         "&nbsp;<b>%2</b>&nbsp;</span>&nbsp;%3")
                              .arg(kAlarmRed.name());
    items << badge.arg(QStringLiteral("!"), QStringLiteral("conflicto"))
          << badge.arg(QStringLiteral("?"), QStringLiteral("horario&nbsp;con&nbsp;errores"))
          << QStringLiteral("<b>recuadro&nbsp;grueso</b>:&nbsp;hoy");
    return items.join(QStringLiteral(" &nbsp; "));
}

} // namespace horvex

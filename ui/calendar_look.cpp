#include "ui/calendar_look.h"

#include <QPalette>
#include <QWidget>
#include <array>
#include <cmath>

namespace horvex {

namespace {

// Light fills, so the text on them is black under any palette.
const QColor kGuardadoColour(0xb6, 0xd7, 0xa8);
const QColor kSilencioColour(0xc8, 0xc8, 0xc8);
const QColor kLibreColour(0xe6, 0xd5, 0xbc); // sand: an empty school
const std::array<QColor, 8> kFileColours{QColor(0x9f, 0xc5, 0xe8), QColor(0xff, 0xd9, 0x66),
                                         QColor(0xd5, 0xa6, 0xbd), QColor(0xf9, 0xcb, 0x9c),
                                         QColor(0xa2, 0xd4, 0xd9), QColor(0xb4, 0xa7, 0xd6),
                                         QColor(0xe6, 0xb8, 0xaf), QColor(0xdd, 0xe0, 0x8a)};

} // namespace

const QLocale& spanish() {
    static const QLocale locale(QLocale::Spanish, QLocale::Spain);
    return locale;
}

QString longDate(QDate day) {
    return spanish().toString(day, QStringLiteral("dddd d 'de' MMMM 'de' yyyy"));
}

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

void ScheduleColours::meet(const std::vector<DayValue>& values) {
    for (const DayValue& v : values)
        if (!order_.contains(v.name()))
            order_ << v.name();
}

QColor ScheduleColours::of(const DayValue& value) const {
    switch (value.kind) {
    case DayValue::Kind::Guardado:
        return kGuardadoColour;
    case DayValue::Kind::Silencio:
        return kSilencioColour;
    case DayValue::Kind::Libre:
        return kLibreColour;
    case DayValue::Kind::File:
        break;
    }
    qsizetype n = 0;
    for (const QString& name : order_) {
        if (name == value.file)
            break;
        n += name != QLatin1String("guardado") && name != QLatin1String("silencio") &&
                     name != QLatin1String("libre")
                 ? 1
                 : 0;
    }
    return kFileColours[static_cast<std::size_t>(n) % kFileColours.size()];
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

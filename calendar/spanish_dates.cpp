#include "calendar/spanish_dates.h"

namespace horvex {

const QLocale& spanish() {
    static const QLocale locale(QLocale::Spanish, QLocale::Spain);
    return locale;
}

QString longDate(QDate day) {
    return spanish().toString(day, QStringLiteral("dddd d 'de' MMMM 'de' yyyy"));
}

} // namespace horvex

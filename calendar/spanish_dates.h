#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace horvex {

// Dates are said in Spanish whatever the PC's language.
const QLocale& spanish();

// "lunes 5 de abril de 2027".
QString longDate(QDate day);

} // namespace horvex

#pragma once

#include <QString>
#include <variant>

namespace horvex {

// A time of day as people write it: "8:30", "08:30", "8.30", "8h30" and
// "8h" (08:00). Schedule files and the windows read every typed time here.
struct TypedTime {
    int hour = 0;
    int minute = 0;
};

// The time, or why `text` is not one, quoting it:
// "«8:75»: el minuto 75 no existe (los minutos van de 00 a 59)".
// Hour 24 and minute 60, which the clock's lists offer, are read as they
// are; whoever takes the time decides whether they may stand.
std::variant<TypedTime, QString> parseTypedTime(const QString& text);

} // namespace horvex

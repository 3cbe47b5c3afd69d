#include "schedule/module1.h"

#include "schedule/failure.h"
#include "schedule/lists.h"

namespace horvex {

void checkSlotIndex(int index, const char* what) {
    if (index < 0 || index >= kSlots)
        throw Failure(QStringLiteral("Índice fuera de rango en %1: %2 (admite 0 a %3)")
                          .arg(QLatin1String(what))
                          .arg(index)
                          .arg(kSlots - 1));
}

QString slotName(std::size_t slot) {
    return QLatin1Char('H') + twoDigitText(static_cast<int>(slot));
}

ClockSchedule unsetSchedule() {
    ClockSchedule s;
    for (AlarmSlot& slot : s.alarms)
        slot = {kUnsetHour, kUnsetMinute, 0};
    s.shortRing = kDefaultShortRing;
    s.longRing = kDefaultLongRing;
    return s;
}

void Module1::setAlaHora(int index, const QString& text) {
    checkSlotIndex(index, "AlaHora");
    AlaHora[static_cast<std::size_t>(index)] = text;
    known.set(horaValue(static_cast<std::size_t>(index)));
}

void Module1::setAlaMin(int index, const QString& text) {
    checkSlotIndex(index, "AlaMin");
    AlaMin[static_cast<std::size_t>(index)] = text;
    known.set(minValue(static_cast<std::size_t>(index)));
}

void Module1::setAlaChk(int index, int checkValue) {
    checkSlotIndex(index, "AlaChk");
    if (checkValue < 0 || checkValue > 255)
        throw Failure(QStringLiteral("Valor de casilla fuera de rango: %1").arg(checkValue));
    AlaChk[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(checkValue);
    known.set(chkValue(static_cast<std::size_t>(index)));
}

void Module1::setTAlaCorto(const QString& text) {
    TAlaCorto = text;
    known.set(kCortoValue);
}

void Module1::setTAlaLargo(const QString& text) {
    TAlaLargo = text;
    known.set(kLargoValue);
}

} // namespace horvex

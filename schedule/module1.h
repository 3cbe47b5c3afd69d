#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <bitset>
#include <cstdint>

namespace horvex {

inline constexpr int kSlots = 36;

// A slot as the window names it: "H05".
QString slotName(std::size_t slot);

// One alarm as the window shows it: the texts of its hour and minute lists
// and the value of its check box (0 clear, 1 ticked, 2 greyed).
struct AlarmSlot {
    QString hour;
    QString minute;
    int check = 0;
};

// What is uploaded to the clock: the 36 alarms and the two ring lengths.
struct ClockSchedule {
    std::array<AlarmSlot, kSlots> alarms;
    QString shortRing;
    QString longRing;
};

// What a slot and the ring lengths hold when nothing was ever stored.
inline const QString kUnsetHour = QStringLiteral("24");
inline const QString kUnsetMinute = QStringLiteral("00");
inline const QString kDefaultShortRing = QStringLiteral("02");
inline const QString kDefaultLongRing = QStringLiteral("05");

// The schedule of a fresh store: every slot at 24:00 short, rings 02 and 05.
ClockSchedule unsetSchedule();

// The program-wide variables. The main window owns the one instance of a run;
// tests make fresh ones. Texts are kept exactly as given.
struct Module1 {
    // Mirrors of the schedule: what the settings store loads and saves.
    std::array<QString, kSlots> AlaHora;
    std::array<QString, kSlots> AlaMin;
    std::array<std::uint8_t, kSlots> AlaChk{};
    QString TAlaCorto;
    QString TAlaLargo;
    QString PuertoCom;

    // Time of day as "&H" + two digits, written by the clock display.
    QString HoraAct;
    QString MinAct;
    QString SegAct;
    int ValorAct = 0;

    // The upload frame and the paced sender's loop bound.
    QByteArray DatosTx;
    QString LargoTx;

    std::int16_t Indice = 0;

    // Which of the 111 stored values the mirrors really hold: loaded from the
    // store or set by the operator since. A save writes only these, so a value
    // that could not be loaded is never overwritten with a mirror's blank.
    // Numbered in store order: Corto, Largo, port, 36 hours, 36 minutes, 36
    // checks.
    static constexpr int kStoredValues = 3 + 3 * kSlots;
    static constexpr int kCortoValue = 0, kLargoValue = 1, kPuertoValue = 2;
    static constexpr int horaValue(std::size_t i) { return 3 + static_cast<int>(i); }
    static constexpr int minValue(std::size_t i) { return 3 + kSlots + static_cast<int>(i); }
    static constexpr int chkValue(std::size_t i) { return 3 + 2 * kSlots + static_cast<int>(i); }
    std::bitset<kStoredValues> known;

    // Change handlers' stores: the index is checked first, an index outside
    // 0..35 raises a Failure and stores nothing.
    void setAlaHora(int index, const QString& text);
    void setAlaMin(int index, const QString& text);
    void setAlaChk(int index, int checkValue);
    void setTAlaCorto(const QString& text);
    void setTAlaLargo(const QString& text);
};

// Checks a slot index against 0..35; throws Failure naming `what` otherwise.
void checkSlotIndex(int index, const char* what);

} // namespace horvex

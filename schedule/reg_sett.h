#pragma once

#include "schedule/module1.h"
#include "schedule/reg_store.h"

namespace horvex {

// The store's names: sections, and the keys of the ring lengths and of slot i.
namespace names {
inline const QString kTAla = QStringLiteral("TAla");
inline const QString kComm = QStringLiteral("COMM");
inline const QString kHH = QStringLiteral("HH");
inline const QString kMM = QStringLiteral("MM");
inline const QString kAla = QStringLiteral("ALA");
inline const QString kPuertos = QStringLiteral("Puertos");
inline const QString kCorto = QStringLiteral("Corto");
inline const QString kLargo = QStringLiteral("Largo");
inline QString hourKey(std::size_t i) {
    return QStringLiteral("cboHH") + QString::number(i);
}
inline QString minuteKey(std::size_t i) {
    return QStringLiteral("cboMM") + QString::number(i);
}
inline QString checkKey(std::size_t i) {
    return QStringLiteral("chkAla") + QString::number(i);
}
} // namespace names

// The stored port text, as start-up reads it ("04" when nothing is stored),
// for whoever needs the port and nothing else.
QString storedPort(RegStore& store);

// Reads the 111 values of the schedule and the port into the mirrors.
// A check value that is not a whole number 0..255 throws Failure naming the
// key; the mirrors read before it keep their values.
void LoadRegSett(Module1& m, RegStore& store);

// Writes the 111 values from the mirrors, every one on every save, except
// those the mirrors do not really hold (see Module1::known): a value that
// could not be loaded keeps what the store has. Throws Failure when the store
// could not keep them.
void SaveRegSett(const Module1& m, RegStore& store);

} // namespace horvex

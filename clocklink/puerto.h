#pragma once

#include "clocklink/mscomm.h"
#include "clocklink/operator.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace horvex {

// The port text as a signed 16-bit whole number ("04" -> 4). Throws Failure
// for a text that is not a number or does not fit.
std::int16_t portNumberFromText(const QString& text);

// Closes the open port, sets the number from the text and opens it.
// Every failure is a Failure with a description for the operator.
void AbrirPuerto(MSComm1& port, const QString& portText);

// Start-up's help for a PC whose clock hangs on a USB adapter: when the
// port of `portText` maps to no device, its own device is not a port of this
// PC and exactly one USB adapter is present, the port opens that adapter
// until the program ends. Returns what to tell the operator then.
struct AdoptedAdapter {
    QString opens; // "COM4 abre /dev/ttyUSB0, el único adaptador USB"
    QString keep;  // "para que lo abra siempre: horvex --map-port 4=/dev/serial/by-id/…"
};
std::optional<AdoptedAdapter> adoptLoneAdapter(MSComm1& port, const QString& portText);

// Panel 2 = "COM4: 2400,N,8,1", from the number the port object holds.
void MostrarPuerto(const MSComm1& port, StatusLine& status);

// The port failure report: the critical box titled
// "Fallo Inicializacion de Puerto!", then panel 1 "Error de Puerto Serie ...".
void ErrorPuerto(const QString& description, MessageBox& box, StatusLine& status);

} // namespace horvex

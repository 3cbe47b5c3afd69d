#include "clocklink/puerto.h"

#include "schedule/failure.h"

#include <QRegularExpression>
#include <limits>

namespace horvex {

std::int16_t portNumberFromText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        throw Failure(QStringLiteral("No se ha indicado ningún número de puerto"));
    bool ok = false;
    const short number = trimmed.toShort(&ok);
    if (ok)
        return number;
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (digits.match(trimmed).hasMatch())
        throw Failure(QStringLiteral("El número de puerto \"%1\" está fuera de rango (%2 a %3)")
                          .arg(text)
                          .arg(std::numeric_limits<std::int16_t>::min())
                          .arg(std::numeric_limits<std::int16_t>::max()));
    throw Failure(QStringLiteral("\"%1\" no es un número de puerto").arg(text));
}

void AbrirPuerto(MSComm1& port, const QString& portText) {
    if (port.PortOpen())
        port.setPortOpen(false);
    port.setCommPort(portNumberFromText(portText));
    port.setPortOpen(true);
}

void MostrarPuerto(const MSComm1& port, StatusLine& status) {
    status.setPanelText(2, QStringLiteral("COM%1: 2400,N,8,1").arg(port.CommPort()));
}

void ErrorPuerto(const QString& description, MessageBox& box, StatusLine& status) {
    box.critical(QStringLiteral("Fallo Inicializacion de Puerto!"),
                 QStringLiteral("Error: ") + description +
                     QStringLiteral("\r\n\r\n      El puerto puede estar usado o no existe. "
                                    "Configure otro Puerto Serie"));
    status.setPanelText(1, QStringLiteral("Error de Puerto Serie ..."));
}

} // namespace horvex

#include "clocklink/puerto.h"

#include "clocklink/port_list.h"
#include "schedule/failure.h"

#include <QRegularExpression>
#include <algorithm>
#include <iterator>
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

std::optional<AdoptedAdapter> adoptLoneAdapter(MSComm1& port, const QString& portText) {
#ifdef Q_OS_WIN
    Q_UNUSED(port);
    Q_UNUSED(portText);
    return std::nullopt;
#else
    int n = 0;
    try {
        n = portNumberFromText(portText);
    } catch (const Failure&) {
        return std::nullopt; // opening it says why
    }
    if (n < MSComm1::kFirstPort || n > MSComm1::kLastPort || port.mappedDevice(n))
        return std::nullopt;
    const std::vector<PresentPort> present = presentPorts();
    if (presentPortAt(port.deviceFor(n), present))
        return std::nullopt;
    std::vector<PresentPort> adapters;
    std::copy_if(present.cbegin(), present.cend(), std::back_inserter(adapters),
                 [](const PresentPort& p) { return p.isAdapter(); });
    if (adapters.size() != 1)
        return std::nullopt;
    const PresentPort& adapter = adapters.front();
    port.useForThisRun(n, adapter.device);
    return AdoptedAdapter{
        QStringLiteral("COM%1 abre %2, el único adaptador USB").arg(n).arg(adapter.device),
        QStringLiteral("para que lo abra siempre: horvex --map-port %1=%2")
            .arg(n)
            .arg(adapter.nameToMap())};
#endif
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

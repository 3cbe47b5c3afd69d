#pragma once

#include "clocklink/mscomm.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace horvex {

// A serial port present on this machine, as the system describes it.
struct PresentPort {
    QString device;       // "/dev/ttyUSB0"
    QString description;  // "FT232R USB UART"
    QString manufacturer; // "FTDI"
    QString usbId;        // "0403:6001"
    QString serialNumber; // "A12345"
    QString stableName;   // its link in /dev/serial/by-id, if any

    // A USB adapter, not a port built into the PC.
    bool isAdapter() const { return !stableName.isEmpty() || !usbId.isEmpty(); }
    // The name to map a port number to: the stable one when there is one,
    // so the mapping outlives a replug.
    QString nameToMap() const { return stableName.isEmpty() ? device : stableName; }
};

// The folder of stable names, /dev/serial/by-id. For tests the environment
// variable HORVEX_SERIAL_BY_ID names another one; the ports present are then
// only the devices its links reach, so a test sees a machine of its own.
QString stableNameFolder();

// Every serial port present, those with a stable name (USB adapters) first.
std::vector<PresentPort> presentPorts();

// The present port that `path` opens, following links.
std::optional<PresentPort> presentPortAt(const QString& path, const std::vector<PresentPort>& all);

// The port numbers that open `device` now, through `map` or as /dev/ttyS<n-1>.
QList<int> portsReaching(const QString& device, const PortDeviceMap& map);

// What to say after "No such file or directory" for port n: the ports that
// exist and the command that maps one, or what to check when there is none.
// ". Puertos serie en este equipo: /dev/ttyUSB0 (FT232R USB UART). Para
// usarlo como COM4: horvex --map-port 4=/dev/serial/by-id/usb-…"
// When the one port present is the PC's own (/dev/ttyS0, COM1 already), the
// advice is to choose that number.
QString missingDeviceAdvice(int port, const std::vector<PresentPort>& ports = presentPorts());

// The file type (stat's st_mode) of `path`, port n's device. When the system
// cannot look at it, throws Failure: "`what`: No such file or directory",
// followed for a missing device by missingDeviceAdvice(n).
unsigned deviceFileType(const QString& path, int port, const QString& what);

} // namespace horvex

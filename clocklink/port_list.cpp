#include "clocklink/port_list.h"

#include "clocklink/port_reason.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace horvex {

namespace {

QString canonical(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

bool isCharacterDevice(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Device (canonical) -> its stable name.
QHash<QString, QString> stableNames() {
    QHash<QString, QString> byDevice;
    const QDir folder(stableNameFolder());
    const QFileInfoList links =
        folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty() && isCharacterDevice(device) && !byDevice.contains(device))
            byDevice.insert(device, link.absoluteFilePath());
    }
    return byDevice;
}

PresentPort describe(const QString& device, const QSerialPortInfo& info,
                     const QHash<QString, QString>& names) {
    PresentPort p{device, info.description(),  info.manufacturer(),
                  {},     info.serialNumber(), names.value(canonical(device))};
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        p.usbId = QStringLiteral("%1:%2")
                      .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                      .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    return p;
}

} // namespace

QString stableNameFolder() {
    const QString folder = qEnvironmentVariable("HORVEX_SERIAL_BY_ID");
    return folder.isEmpty() ? QStringLiteral("/dev/serial/by-id") : folder;
}

std::vector<PresentPort> presentPorts() {
    const QHash<QString, QString> names = stableNames();
    std::vector<PresentPort> ports;
    QSet<QString> seen;
    if (!qEnvironmentVariableIsSet("HORVEX_SERIAL_BY_ID")) {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            ports.push_back(describe(info.systemLocation(), info, names));
            seen.insert(canonical(info.systemLocation()));
        }
    }
    // A device reached only through a stable name is a port all the same.
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        if (!seen.contains(it.key()))
            ports.push_back(describe(it.key(), QSerialPortInfo(), names));
    std::stable_sort(ports.begin(), ports.end(), [](const PresentPort& a, const PresentPort& b) {
        return std::pair(a.stableName.isEmpty(), a.device) <
               std::pair(b.stableName.isEmpty(), b.device);
    });
    return ports;
}

std::optional<PresentPort> presentPortAt(const QString& path, const std::vector<PresentPort>& all) {
    const QString device = canonical(path);
    for (const PresentPort& p : all)
        if (canonical(p.device) == device)
            return p;
    return std::nullopt;
}

QList<int> portsReaching(const QString& device, const PortDeviceMap& map) {
    const MSComm1 port(map);
    const QString wanted = canonical(device);
    QList<int> numbers;
    for (int n = MSComm1::kFirstPort; n <= MSComm1::kLastPort; ++n)
        if (canonical(port.deviceFor(n)) == wanted)
            numbers << n;
    return numbers;
}

QString missingDeviceAdvice(int port, const std::vector<PresentPort>& ports) {
    if (ports.empty())
        return QStringLiteral(". No hay ningún puerto serie en este equipo: compruebe el cable y "
                              "que el adaptador USB esté enchufado (al enchufarlo, "
                              "«sudo dmesg | tail» debe nombrar un ttyUSB o ttyACM)");
    QStringList shown;
    for (const PresentPort& p : ports)
        shown << (p.description.isEmpty() ? p.device
                                          : QStringLiteral("%1 (%2)").arg(p.device, p.description));
    QString advice =
        QStringLiteral(". Puertos serie en este equipo: ") + shown.join(QStringLiteral(", "));
#ifndef Q_OS_WIN
    const PresentPort& first = ports.front();
    const QString mapped = first.nameToMap();
    // The PC's own port already has a number of its own: choosing it is simpler.
    const QList<int> own = ports.size() == 1 ? portsReaching(first.device, {}) : QList<int>();
    if (!own.isEmpty() && own.first() != port)
        return advice + QStringLiteral(", que es COM%1: elija COM%1 en las opciones de puerto "
                                       "(con --sync: --port %1), o para que COM%2 lo abra "
                                       "siempre: horvex --map-port %2=%3")
                            .arg(own.first())
                            .arg(port)
                            .arg(mapped);
    advice += QStringLiteral(". Para usar%1 como COM%2: horvex --map-port %2=%3")
                  .arg(ports.size() == 1 ? QStringLiteral("lo") : QStringLiteral(" el primero"))
                  .arg(port)
                  .arg(mapped);
#endif
    return advice;
}

unsigned deviceFileType(const QString& path, int port, const QString& what) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return st.st_mode;
    const int err = errno;
    throw Failure(
        QStringLiteral("%1: %2%3")
            .arg(what, portReason(err), err == ENOENT ? missingDeviceAdvice(port) : QString()));
}

} // namespace horvex

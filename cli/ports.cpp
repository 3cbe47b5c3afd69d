// --list-ports and --map-port: which device each port number opens here.
#include "cli/commands.h"
#include "clocklink/port_list.h"
#include "clocklink/puerto.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/quoted.h"
#include "schedule/reg_sett.h"
#include "schedule/reg_store.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace horvex::cli {

namespace {

QString portKey(int n) {
    return QStringLiteral("COM%1").arg(n);
}

// The store's [Puertos], as the port reads it.
PortDeviceMap portMap(RegStore& store) {
    return [&store](int n) { return store.portDevice(n); };
}

// The device port n opens now.
QString deviceOf(int n, RegStore& store) {
    return MSComm1(portMap(store)).deviceFor(n);
}

// "COM4 (asignado en [Puertos]), COM1"
QString reachedBy(const QString& device, RegStore& store) {
    QStringList numbers;
    for (const int n : portsReaching(device, portMap(store)))
        numbers << (store.portDevice(n) ? portKey(n) + QStringLiteral(" (asignado en [Puertos])")
                                        : portKey(n));
    return numbers.join(QStringLiteral(", "));
}

void listPort(const PresentPort& p, RegStore& store) {
    say(p.device);
    const auto line = [](const char* label, const QString& value) {
        if (!value.isEmpty())
            say(QStringLiteral("  %1 %2").arg(QString::fromUtf8(label), -14).arg(value));
    };
    line("descripción:", p.description);
    line("fabricante:", p.manufacturer);
    line("USB:", p.usbId);
    line("número de serie:", p.serialNumber);
    line("nombre fijo:", p.stableName);
    const QString reached = reachedBy(p.device, store);
    line("lo abre:", reached.isEmpty() ? QStringLiteral("ningún COM (use --map-port)") : reached);
}

// The stored port, and the command that points it at a present port when
// its device is missing.
void showStoredPort(const std::vector<PresentPort>& ports, RegStore& store) {
    int n = 0;
    try {
        n = portNumberFromText(storedPort(store));
    } catch (const Failure&) {
        return; // not a number: start-up says so
    }
    if (n < MSComm1::kFirstPort || n > MSComm1::kLastPort)
        return;
    const QString device = deviceOf(n, store);
    const bool exists = QFileInfo::exists(device);
    say(QStringLiteral("Puerto guardado: %1 (%2%3)")
            .arg(portKey(n), device, exists ? QString() : QStringLiteral(", que no existe")));
    if (exists || ports.empty())
        return;
    // A port that another number opens already is simpler to choose than to map.
    const QList<int> own = portsReaching(ports.front().device, portMap(store));
    if (ports.size() == 1 && !own.isEmpty())
        say(QStringLiteral("%1 ya es %2: elija %2 en las opciones de puerto (con --sync: --port "
                           "%3), o para que %4 lo abra siempre: horvex --map-port %5=%6")
                .arg(ports.front().device, portKey(own.first()))
                .arg(own.first())
                .arg(portKey(n))
                .arg(n)
                .arg(ports.front().nameToMap()));
    else
        say(QStringLiteral("Para usar %1 como %2: horvex --map-port %3=%4")
                .arg(ports.front().device, portKey(n))
                .arg(n)
                .arg(ports.front().nameToMap()));
}

// "4=/dev/ttyUSB0" or "COM4=/dev/ttyUSB0": the number, 0 when it is not one.
int mappedNumber(const QString& mapping) {
    QString number = mapping.section(QLatin1Char('='), 0, 0).trimmed();
    if (number.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        number = number.mid(3);
    bool ok = false;
    const int n = number.toInt(&ok);
    return ok && mapping.contains(QLatin1Char('=')) && n >= MSComm1::kFirstPort &&
                   n <= MSComm1::kLastPort
               ? n
               : 0;
}

bool inStableNameFolder(const QString& device) {
    return QFileInfo(device).absolutePath() == QDir::cleanPath(stableNameFolder());
}

// A character device that is no terminal (/dev/null, /dev/zero) would take
// the frame and say nothing. Returns a warning when it cannot be looked at now.
QString checkTerminal(const QString& device) {
    const UniqueFd fd(
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != EACCES && errno != EPERM && errno != EBUSY)
            throw Failure(QStringLiteral("no se puede usar %1: %2").arg(device, systemReason()));
        return QStringLiteral("aviso: %1 no se puede abrir ahora para comprobarlo (%2)")
            .arg(device, systemReason());
    }
    termios settings{};
    if (::tcgetattr(fd.get(), &settings) != 0)
        throw Failure(QStringLiteral("no se puede usar %1: no es un puerto serie (%2)")
                          .arg(device, systemReason()));
    return {};
}

// The device as it will be stored: "ttyUSB0" is /dev/ttyUSB0, a relative
// path is made absolute. Throws Failure for what is not a serial device;
// returns a warning for one that cannot be checked now.
QString checkedDevice(const QString& given, int n, QString& warning) {
    QString device = given;
    if (!device.contains(QLatin1Char('/')))
        device.prepend(QStringLiteral("/dev/"));
    device = QFileInfo(device).absoluteFilePath();
    // A stable name exists only while its adapter is plugged in.
    if (inStableNameFolder(device) && !QFileInfo::exists(device)) {
        warning = QStringLiteral("aviso: %1 no está enchufado ahora; COM%2 lo abrirá cuando lo "
                                 "esté")
                      .arg(device)
                      .arg(n);
        return device;
    }
    const unsigned type =
        deviceFileType(device, n, QStringLiteral("no se puede usar %1").arg(device));
    if (!S_ISCHR(type))
        throw Failure(QStringLiteral("no se puede usar %1: %2, no un dispositivo de caracteres "
                                     "como es un puerto serie")
                          .arg(device, S_ISDIR(type) ? QStringLiteral("es una carpeta")
                                                     : QStringLiteral("es un archivo")));
    warning = checkTerminal(device);
    return device;
}

} // namespace

int runListPorts(const Request&) {
    RegStore store;
    const std::vector<PresentPort> ports = presentPorts();
    if (ports.empty()) {
        say(QStringLiteral("No hay ningún puerto serie en este equipo."));
        say(QStringLiteral("Compruebe el cable y que el adaptador USB esté enchufado; al "
                           "enchufarlo, «sudo dmesg | tail» debe nombrar un ttyUSB o ttyACM."));
    }
    for (const PresentPort& p : ports)
        listPort(p, store);
    showStoredPort(ports, store);
    return kOk;
}

int runMapPort(const Request& r) {
    const int n = mappedNumber(r.mapping);
    if (n == 0) {
        complain(QStringLiteral("--map-port: %1 no es N=DISPOSITIVO con N de 1 a 255 (por "
                                "ejemplo 4=/dev/ttyUSB0)")
                     .arg(quoted(r.mapping)));
        return kUsage;
    }
    const QString given = r.mapping.section(QLatin1Char('='), 1).trimmed();
    RegStore store;
    const QString file = store.fileName();
    QString warning;
    const QString device = given.isEmpty() ? QString() : checkedDevice(given, n, warning);
    if (!warning.isEmpty())
        complain(warning);
    updateStoreFile(file, [&](IniDocument& doc) {
        if (device.isEmpty())
            doc.remove(names::kPuertos, portKey(n));
        else
            doc.setValue(names::kPuertos, portKey(n), device);
    });
    const QString opens = deviceOf(n, store);
    say(QStringLiteral("%1 abre ahora %2 (guardado en %3)").arg(portKey(n), opens, file));
    const std::optional<PresentPort> port = presentPortAt(device, presentPorts());
    if (!device.isEmpty() && port && !port->stableName.isEmpty() && port->stableName != device)
        say(QStringLiteral("%1 es también %2, un nombre que no cambia al desenchufar y "
                           "volver a enchufar el adaptador. Mejor: horvex --map-port %3=%2")
                .arg(device, port->stableName)
                .arg(n));
    return kOk;
}

} // namespace horvex::cli

#include "clocklink/mscomm.h"

#include "clocklink/port_list.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace horvex {

namespace {

// One character takes about 4 ms at 2400 baud; a second means the line is stuck.
constexpr int kWriteTimeoutMs = 1000;

} // namespace

MSComm1::MSComm1(PortDeviceMap deviceMap)
    : deviceMap_(std::move(deviceMap)) {
    // The clock's line; these apply at every open and are never changed.
    serial_.setBaudRate(QSerialPort::Baud2400);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
}

void MSComm1::setCommPort(std::int16_t port) {
    if (port < kFirstPort || port > kLastPort)
        throw Failure(
            QStringLiteral("El número de puerto %1 no es válido: debe estar entre %2 y %3")
                .arg(port)
                .arg(kFirstPort)
                .arg(kLastPort));
    if (PortOpen())
        throw Failure(QStringLiteral("COM%1 está abierto: ciérrelo antes de cambiar de puerto")
                          .arg(commPort_));
    commPort_ = port;
}

bool MSComm1::PortOpen() const {
    return serial_.isOpen();
}

void MSComm1::setPortOpen(bool open) {
    if (open == PortOpen())
        return;
    if (!open) {
        serial_.close();
        serial_.clearError();
        return;
    }
    // The device itself, not a link to it: the lock that keeps a second
    // program off the line is named after the path opened.
    const QString device = deviceFor(commPort_);
#ifndef Q_OS_WIN
    // Say what is wrong with the path itself; the serial layer would speak of
    // a lock it could not take.
    // A newcomer's first sight: the stored port is not there. Name what is.
    if (!S_ISCHR(deviceFileType(device, commPort_, portLabel())))
        throw Failure(QStringLiteral("%1: no es un dispositivo serie").arg(portLabel()));
#endif
    const QFileInfo info(device);
    serial_.setPortName(info.isSymLink() && info.exists() ? info.canonicalFilePath() : device);
    // Write only: nothing is ever read from the clock, and with a read side a
    // hang-up surfaces as a read error without a usable description while we
    // wait for a write; without it the write itself fails with the system's
    // reason ("Input/output error").
    if (!serial_.open(QIODevice::WriteOnly)) {
        QString reason = layerReason();
        // A device file with no port behind it (most PCs have /dev/ttyS0 to
        // ttyS3 whatever their hardware): say which ports this PC has.
        const QSerialPort::SerialPortError error = serial_.error();
        if (error != QSerialPort::DeviceNotFoundError && error != QSerialPort::PermissionError) {
            const std::vector<PresentPort> present = presentPorts();
            if (!presentPortAt(device, present))
                reason += missingDeviceAdvice(commPort_, present);
        }
        serial_.clearError();
        throw Failure(reason);
    }
}

void MSComm1::Output(char byte) {
    if (!PortOpen())
        throw Failure(QStringLiteral("%1: el puerto no está abierto").arg(portLabel()));
#ifdef Q_OS_WIN
    // write() only queues the byte; wait until it has been handed to the
    // system, so that the pause that follows paces the line.
    bool sent = serial_.write(&byte, 1) == 1;
    while (sent && serial_.bytesToWrite() > 0)
        sent = serial_.waitForBytesWritten(kWriteTimeoutMs);
    if (sent && serial_.error() == QSerialPort::NoError)
        return;
    const QString reason = layerReason();
#else
    // Straight to the system, not through Qt's buffer and its event-driven
    // flush: the byte is on its way when this returns, so the pause that
    // follows paces the line to the microsecond.
    const int fd = static_cast<int>(serial_.handle());
    pollfd room{fd, POLLOUT, 0};
    ssize_t n = -1;
    int polled = 0;
    for (;;) {
        polled = ::poll(&room, 1, kWriteTimeoutMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        n = ::write(fd, &byte, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        break;
    }
    if (n == 1)
        return;
    // The system's reason before anything else can change errno: the label
    // may read the settings.
    const QString why =
        polled == 0 ? QStringLiteral("el puerto no acepta datos (bloqueado)") : systemReason();
    const QString reason = QStringLiteral("%1: %2").arg(portLabel(), why);
#endif

    // A port that failed a write (adapter unplugged, line hung up, stuck) is
    // closed, so that nothing queued is sent later and PortOpen tells the truth.
    serial_.close();
    serial_.clearError();
    throw Failure(reason);
}

QString MSComm1::deviceFor(int port) const {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    if (runDevice_ && runDevice_->first == port)
        return runDevice_->second;
    return mappedDevice(port).value_or(QStringLiteral("/dev/ttyS%1").arg(port - 1));
#endif
}

std::optional<QString> MSComm1::mappedDevice(int port) const {
    const std::optional<QString> mapped = deviceMap_ ? deviceMap_(port) : std::nullopt;
    const QString device = mapped.value_or(QString()).trimmed();
    if (device.isEmpty())
        return std::nullopt;
    if (!device.contains(QLatin1Char('/')))
        return QStringLiteral("/dev/") + device;
    if (QFileInfo(device).isRelative())
        throw Failure(QStringLiteral("[Puertos] COM%1=%2: una ruta relativa depende de la carpeta "
                                     "desde la que se inicia Horvex; escriba la ruta entera "
                                     "(/dev/...) o solo el nombre (ttyUSB0)")
                          .arg(port)
                          .arg(device));
    return device;
}

void MSComm1::useForThisRun(int port, const QString& device) {
    runDevice_ = std::pair(port, device);
}

QString MSComm1::portLabel() const {
    const QString name = QStringLiteral("COM%1").arg(commPort_);
    const QString device = deviceFor(commPort_);
    return device == name ? name : QStringLiteral("%1 (%2)").arg(name, device);
}

QString MSComm1::layerReason() const {
    QString reason = serial_.error() == QSerialPort::NoError ? QString() : serial_.errorString();
    // Qt says "Unknown error" when it has nothing to say; that helps no one.
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        reason = QStringLiteral("fallo del puerto serie sin descripción (código %1)")
                     .arg(static_cast<int>(serial_.error()));
    // Held by another program (the window, a timed sync): Qt names only its
    // own lock file or the system's "busy".
    if (serial_.error() == QSerialPort::PermissionError &&
        (reason.contains(QLatin1String("locking")) || reason.contains(QLatin1String("busy"))))
        reason = QStringLiteral("el puerto está en uso por otro programa (%1)").arg(reason);
#ifndef Q_OS_WIN
    if (serial_.error() == QSerialPort::PermissionError &&
        reason.contains(QLatin1String("Permission denied")))
        reason += QStringLiteral(". Su usuario no tiene acceso al puerto: añádalo al grupo dialout "
                                 "(sudo usermod -aG dialout $USER) y vuelva a iniciar la sesión");
#endif
    if (serial_.error() == QSerialPort::DeviceNotFoundError)
        reason += missingDeviceAdvice(commPort_);
    return QStringLiteral("%1: %2").arg(portLabel(), reason);
}

} // namespace horvex

#include "clocklink/mscomm.h"

#include "schedule/failure.h"

namespace horvex {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 255;
// Nothing is ever read from the clock; a small buffer keeps stray input bounded.
constexpr qint64 kReadBufferSize = 1024;
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
    serial_.setReadBufferSize(kReadBufferSize);
}

void MSComm1::setCommPort(std::int16_t port) {
    if (port < kFirstPort || port > kLastPort)
        throw Failure(QStringLiteral("El número de puerto %1 no es válido: debe estar entre %2 y %3")
                          .arg(port)
                          .arg(kFirstPort)
                          .arg(kLastPort));
    if (PortOpen())
        throw Failure(QStringLiteral("COM%1 está abierto: ciérrelo antes de cambiar de puerto")
                          .arg(commPort_));
    commPort_ = port;
}

bool MSComm1::PortOpen() const { return serial_.isOpen(); }

void MSComm1::setPortOpen(bool open) {
    if (open == PortOpen())
        return;
    if (!open) {
        serial_.close();
        serial_.clearError();
        return;
    }
    serial_.setPortName(deviceFor(commPort_));
    // ReadWrite, as for any serial line; the read side only ever fills the
    // bounded buffer and is never looked at.
    if (!serial_.open(QIODevice::ReadWrite)) {
        const QString reason = layerReason();
        serial_.clearError();
        throw Failure(reason);
    }
}

void MSComm1::Output(char byte) {
    if (!PortOpen())
        throw Failure(QStringLiteral("%1: el puerto no está abierto").arg(portLabel()));
    // write() only queues the byte; wait until it has been handed to the
    // system, so that the pause that follows paces the line.
    bool sent = serial_.write(&byte, 1) == 1;
    while (sent && serial_.bytesToWrite() > 0)
        sent = serial_.waitForBytesWritten(kWriteTimeoutMs);
    if (sent && serial_.error() == QSerialPort::NoError)
        return;

    const QString reason = layerReason();
    if (serial_.error() == QSerialPort::ResourceError) {
        // The device is gone (adapter unplugged, line hung up).
        serial_.close();
    } else {
        // Leave nothing queued that the next upload would send first.
        serial_.clear(QSerialPort::Output);
    }
    serial_.clearError();
    throw Failure(reason);
}

QString MSComm1::deviceFor(int port) const {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    if (deviceMap_) {
        if (const std::optional<QString> mapped = deviceMap_(port)) {
            const QString device = mapped->trimmed();
            if (!device.isEmpty())
                return device;
        }
    }
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
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
#ifndef Q_OS_WIN
    if (serial_.error() == QSerialPort::PermissionError &&
        reason.contains(QLatin1String("Permission denied")))
        reason += QStringLiteral(
            ". Su usuario no tiene acceso al puerto: añádalo al grupo dialout "
            "(sudo usermod -aG dialout $USER) y vuelva a iniciar la sesión");
#endif
    return QStringLiteral("%1: %2").arg(portLabel(), reason);
}

} // namespace horvex

#include "clocklink/mscomm.h"

#include "clocklink/port_list.h"
#include "clocklink/port_reason.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/xdg.h"

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

// The device a path opens, links followed: /dev/serial/by-id/… and
// /dev/ttyUSB0 are one line, with one lock.
QString realDevice(const QString& device) {
    const QFileInfo info(device);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : device;
}

// The lock of one device for this user's Horvex programs, beside the
// record, which every one of them (the window, the timer, a shell without a
// runtime folder) finds in the same place.
QString lineLockFile(const QString& device) {
    const QString folder = stateHome() + QStringLiteral("/Horvex");
    return QStringLiteral("%1/puerto-%2.lock").arg(folder, deviceFileName(device));
}

} // namespace

MSComm1::MSComm1(PortDeviceMap deviceMap, Pause* waits)
    : deviceMap_(std::move(deviceMap))
    , waits_(waits) {
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

void MSComm1::setPortOpen(bool open) {
    if (open == PortOpen())
        return;
    if (!open) {
        open_ = false;
        return;
    }
    // The device itself, not a link to it: the locks are named after it.
    const QString device = realDevice(deviceFor(commPort_));
    const std::optional<HeldLock> lock = takeLine(device);
    openDevice(device);
    serial_.close();
    open_ = true;
}

MSComm1::Line::Line(MSComm1& port)
    : port_(port) {
    if (port_.lines_ > 0) {
        ++port_.lines_;
        return;
    }
    if (!port_.PortOpen())
        throw Failure(QStringLiteral("COM%1 no está abierto: no se ha enviado nada al reloj")
                          .arg(port_.CommPort()));
    const QString device = realDevice(port_.deviceFor(port_.commPort_));
    if (std::optional<HeldLock> lock = port_.takeLine(device))
        port_.lineLock_.emplace(std::move(*lock));
    try {
        port_.openDevice(device);
    } catch (const Failure&) {
        port_.lineLock_.reset();
        throw;
    }
    port_.lines_ = 1;
}

MSComm1::Line::~Line() {
    if (--port_.lines_ > 0)
        return;
    port_.serial_.close();
    port_.serial_.clearError();
    port_.lineLock_.reset();
}

std::optional<HeldLock> MSComm1::takeLine(const QString& device) {
    QString file;
    const std::function<void()> between =
        waits_ != nullptr ? std::function<void()>([this] { waits_->Tiempo(0.02); })
                          : std::function<void()>();
    std::optional<HeldLock> lock;
    try {
        file = lineLockFile(device);
        if (std::optional<HeldLock> taken = lockGuarded(file, kLineWaitMs, between))
            lock.emplace(std::move(*taken));
    } catch (const Failure&) {
        // No folder for the lock (no home, a read-only disk): the upload goes
        // on without queueing; the device's own lock still keeps two frames
        // apart, the later one refused instead of waiting.
        return std::nullopt;
    }
    if (!lock) {
        const qint64 pid = lockFilePid(file);
        throw Failure(QStringLiteral("%1: otro envío de Horvex ocupa el puerto desde hace más de "
                                     "%2 s%3")
                          .arg(portLabel())
                          .arg(kLineWaitMs / 1000)
                          .arg(pid > 0 ? QStringLiteral(": ") + processText(pid) : QString()));
    }
    // Whose line it is, for the message of a waiter that gives up.
    [[maybe_unused]] const bool named =
        ::ftruncate(lock->fd(), 0) == 0 && writeAll(lock->fd(), QByteArray::number(::getpid()));
    return lock;
}

void MSComm1::openDevice(const QString& device) {
#ifndef Q_OS_WIN
    // Say what is wrong with the path itself; the serial layer would speak of
    // a lock it could not take.
    if (!S_ISCHR(deviceFileType(device, commPort_, portLabel())))
        throw Failure(QStringLiteral("%1: %2%3")
                          .arg(portLabel(), portReason(ENOTTY), missingDeviceAdvice(commPort_)));
#endif
    serial_.setPortName(device);
    // Write only: nothing is ever read from the clock, and with a read side a
    // hang-up surfaces as a read error without a usable description while we
    // wait for a write; without it the write itself fails with the system's
    // reason.
    if (!serial_.open(QIODevice::WriteOnly)) {
        const QString reason = layerReason(device);
        serial_.clearError();
        throw Failure(reason);
    }
}

void MSComm1::Output(char byte) {
    if (!serial_.isOpen())
        throw Failure(QStringLiteral("%1: el puerto no está abierto").arg(portLabel()));
#ifdef Q_OS_WIN
    // write() only queues the byte; wait until it has been handed to the
    // system, so that the pause that follows paces the line.
    bool sent = serial_.write(&byte, 1) == 1;
    while (sent && serial_.bytesToWrite() > 0)
        sent = serial_.waitForBytesWritten(kWriteTimeoutMs);
    if (sent && serial_.error() == QSerialPort::NoError)
        return;
    const QString reason = layerReason(serial_.portName());
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
    const int err = polled == 0 ? EAGAIN : errno;
    const QString reason = QStringLiteral("%1: %2").arg(portLabel(), portReason(err));
#endif

    // A port that failed a write (adapter unplugged, line hung up, stuck) is
    // let go, so that nothing queued is sent later; the next frame opens it
    // afresh and says what is wrong then.
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

QString MSComm1::layerReason(const QString& device) const {
    const QSerialPort::SerialPortError error = serial_.error();
    std::optional<int> err = errnoQuoted(serial_.errorString());
    // The serial layer's own lock file (LCK..ttyUSB0) taken by another
    // program comes without a system error.
    if (!err && error == QSerialPort::PermissionError)
        err = EBUSY;
    if (!err && error == QSerialPort::DeviceNotFoundError)
        err = ENOENT;
    QString reason =
        err ? portReason(*err)
            : QStringLiteral("fallo del puerto serie sin más explicación (código %1 de Qt)")
                  .arg(static_cast<int>(error));
    if (err == EBUSY) {
        if (const QString holders = portHolders(device); !holders.isEmpty())
            reason += QStringLiteral(": ") + holders;
    } else if (err == ENOENT) {
        reason += missingDeviceAdvice(commPort_);
    } else if (err != EACCES && err != EPERM) {
        // A device file with no port behind it (most PCs have /dev/ttyS0 to
        // ttyS3 whatever their hardware): say which ports this PC has.
        const std::vector<PresentPort> present = presentPorts();
        if (!presentPortAt(device, present))
            reason += missingDeviceAdvice(commPort_, present);
    }
    return QStringLiteral("%1: %2").arg(portLabel(), reason);
}

} // namespace horvex

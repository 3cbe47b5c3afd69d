#include "clocklink/port_reason.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace horvex {

namespace {

// Every error an open, a configuration or a write of a port has been seen to give.
constexpr std::array kPortErrors{ENOENT, ENOTDIR, EACCES,   EPERM,  EBUSY,  ENOTTY,
                                 ENXIO,  ENODEV,  EIO,      EISDIR, ELOOP,  ENAMETOOLONG,
                                 EMFILE, ENFILE,  ENOMEM,   EINVAL, EAGAIN, ETIMEDOUT,
                                 EROFS,  EPIPE,   EHOSTDOWN};

// Where serial lock files are kept, in the order the serial layer looks.
constexpr std::array kLockFolders{"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                  "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

} // namespace

QString deviceFileName(const QString& device) {
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

qint64 lockFilePid(const QString& file) {
    try {
        return readGuarded(file, 256).simplified().split(' ').value(0).toLongLong();
    } catch (const Failure&) {
        return 0;
    }
}

QString processText(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly)
                             ? QString::fromLocal8Bit(comm.readLine(64)).trimmed()
                             : QString();
    return QStringLiteral("%1 (pid %2)")
        .arg(name.isEmpty() ? QStringLiteral("un programa") : name)
        .arg(pid);
}

namespace {

bool alive(qint64 pid) {
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// "LCK..ttyUSB0", "LCK..pts_3": named after the device below /dev.
QString lockFileName(const QString& device) {
    return QStringLiteral("LCK..") + deviceFileName(device);
}

QStringList descriptorHolders(const QString& device) {
    QStringList holders;
    const qint64 self = ::getpid();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : pids) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList names = fds.entryList(QDir::Files | QDir::System);
        for (const QString& fd : names)
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == device) {
                holders << processText(pid);
                break;
            }
    }
    return holders;
}

} // namespace

QString portReason(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("el dispositivo no existe");
    case EACCES:
    case EPERM:
        return QStringLiteral("su usuario no tiene permiso para usar el puerto: añádalo al grupo "
                              "dialout (sudo usermod -aG dialout $USER) y vuelva a iniciar la "
                              "sesión");
    case EBUSY:
        return QStringLiteral("el puerto está en uso por otro programa");
    case ENOTTY:
        return QStringLiteral("no es un puerto serie");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("no hay ningún puerto detrás de este dispositivo");
    case EIO:
    case EPIPE:
    case EHOSTDOWN:
        return QStringLiteral("la línea falló (error de entrada y salida): ¿se desconectó el "
                              "adaptador o el cable?");
    case EISDIR:
        return QStringLiteral("es una carpeta, no un puerto serie");
    case ELOOP:
        return QStringLiteral(
            "es un enlace que no lleva a ningún dispositivo (enlaces en círculo)");
    case ENAMETOOLONG:
        return QStringLiteral("la ruta del dispositivo es demasiado larga");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("el sistema no deja abrir más archivos ahora");
    case ENOMEM:
        return QStringLiteral("no queda memoria para abrir el puerto");
    case EINVAL:
        return QStringLiteral("el puerto no admite la configuración 2400 baudios, 8N1");
    case EAGAIN:
    case ETIMEDOUT:
        return QStringLiteral("el puerto no acepta datos (bloqueado)");
    case EROFS:
        return QStringLiteral("el dispositivo está en un sistema de archivos de solo lectura");
    default:
        break;
    }
    const char* name = ::strerrorname_np(err);
    return QStringLiteral("fallo del puerto serie (error %1 del sistema)")
        .arg(name != nullptr ? QString::fromLatin1(name) : QString::number(err));
}

std::optional<int> errnoQuoted(const QString& quoted) {
    for (const int err : kPortErrors)
        if (quoted == QString::fromLocal8Bit(std::strerror(err)))
            return err;
    return std::nullopt;
}

QString portHolders(const QString& device) {
    const QFileInfo info(device);
    const QString real = info.exists() ? info.canonicalFilePath() : device;
    const QString lockName = lockFileName(real);
    for (const char* folder : kLockFolders) {
        const qint64 pid = lockFilePid(QDir(QLatin1String(folder)).filePath(lockName));
        if (alive(pid))
            return processText(pid);
    }
    return descriptorHolders(real).join(QStringLiteral(", "));
}

} // namespace horvex

#include "schedule/window_lock.h"

#include "schedule/failure.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <unistd.h>

namespace horvex {

namespace {

// What a holder writes: "1234 host ventana". Read for messages only; the
// lock itself is the system's.
const QByteArray kWindowWord = "ventana";
const QByteArray kImportWord = "importar";
constexpr qint64 kLineLimit = 4096;

} // namespace

WindowLock::WindowLock(const QString& storeFile, Holder holder)
    : path_(storeFile + QStringLiteral(".ventana"))
    , role_(holder) {}

bool WindowLock::acquire() {
    if (held_)
        return true;
    std::optional<HeldLock> lock = lockGuarded(path_, 0);
    if (!lock)
        return false;
    // Written whole before anyone is told who holds it; a write that fails
    // lets the lock go, so that the reason is told instead.
    const QByteArray line = QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
                            QSysInfo::machineHostName().toUtf8() + ' ' +
                            (role_ == Holder::Window ? kWindowWord : kImportWord) + '\n';
    if (::ftruncate(lock->fd(), 0) != 0 || !writeAll(lock->fd(), line) || ::fsync(lock->fd()) != 0)
        throw Failure(QStringLiteral("no se puede escribir en %1: %2").arg(path_, systemReason()));
    held_.emplace(std::move(*lock));
    return true;
}

std::optional<WindowLock::Line> WindowLock::readLine() const {
    QByteArray text;
    try {
        text = readGuarded(path_, kLineLimit);
    } catch (const Failure&) {
        return std::nullopt;
    }
    const QList<QByteArray> words = text.simplified().split(' ');
    bool ok = false;
    const qint64 pid = words.value(0).toLongLong(&ok);
    if (!ok || pid <= 0 || words.size() < 2)
        return std::nullopt;
    return Line{pid, QString::fromUtf8(words[1]), words.value(2) == kWindowWord};
}

QString WindowLock::holder() const {
    const std::optional<Line> line = readLine();
    if (!line)
        return QStringLiteral("otro proceso");
    if (line->host != QSysInfo::machineHostName())
        return QStringLiteral("proceso %1 en %2").arg(line->pid).arg(line->host);
    return QStringLiteral("proceso %1").arg(line->pid);
}

std::optional<qint64> WindowLock::windowPid() const {
    const std::optional<Line> line = readLine();
    if (!line || !line->window || line->host != QSysInfo::machineHostName())
        return std::nullopt;
    return line->pid;
}

} // namespace horvex

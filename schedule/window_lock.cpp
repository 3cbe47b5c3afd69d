#include "schedule/window_lock.h"

#include <QDir>
#include <QFileInfo>

namespace horvex {

WindowLock::WindowLock(const QString& storeFile)
    : path_(storeFile + QStringLiteral(".ventana"))
    , lock_(std::make_unique<QLockFile>(path_)) {
    // A window lives for hours: only a dead holder makes the lock stale.
    lock_->setStaleLockTime(0);
}

bool WindowLock::acquire() {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    return lock_->isLocked() || lock_->tryLock(0);
}

QString WindowLock::holder() const {
    qint64 pid = 0;
    QString host, app;
    if (!lock_->getLockInfo(&pid, &host, &app))
        return QStringLiteral("otro proceso");
    return QStringLiteral("proceso %1").arg(pid);
}

} // namespace horvex

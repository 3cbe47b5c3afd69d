#include "schedule/xdg.h"

#include "schedule/failure.h"

#include <QDir>

namespace horvex {

namespace {

QString absoluteFromEnv(const char* variable) {
    const QString value = qEnvironmentVariable(variable);
    return !value.isEmpty() && QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString baseFolder(const char* variable, const char* underHome) {
    if (const QString set = absoluteFromEnv(variable); !set.isEmpty())
        return set;
    if (const QString home = absoluteFromEnv("HOME"); !home.isEmpty())
        return QDir(home).filePath(QLatin1String(underHome));
    throw Failure(QStringLiteral("no se encuentra la carpeta personal del usuario: ni %1 ni HOME "
                                 "indican una ruta absoluta")
                      .arg(QLatin1String(variable)));
}

} // namespace

QString configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

QString stateHome() {
    return baseFolder("XDG_STATE_HOME", ".local/state");
}

QString cacheHome() {
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

} // namespace horvex

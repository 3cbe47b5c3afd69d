#include "schedule/system_reason.h"

#include <cerrno>

namespace horvex {

QString systemReason() {
    return systemReason(errno);
}

QString systemReason(int error) {
    // The C library's texts are English whatever the language, so every
    // reason a file, a folder, a lock or a port can meet is ours.
    switch (error) {
    case ENOENT:
        return QStringLiteral("no existe");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EACCES:
        return QStringLiteral("su usuario no tiene permiso");
    case EPERM:
        return QStringLiteral("el sistema no lo permite");
    case EBUSY:
        return QStringLiteral("está ocupado por otro programa o por el sistema");
    case ETXTBSY:
        return QStringLiteral("es un programa que está en marcha");
    case EISDIR:
        return QStringLiteral("es una carpeta, no un archivo");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case ENOSPC:
        return QStringLiteral("no queda espacio en el disco");
    case EDQUOT:
        return QStringLiteral("su usuario ha agotado su cuota de disco");
    case EFBIG:
        return QStringLiteral("el archivo llegaría a más del tamaño permitido");
    case EIO:
        return QStringLiteral("error de entrada/salida: el disco o el dispositivo falló");
    case EMLINK:
        return QStringLiteral("demasiados enlaces a un mismo archivo o carpeta");
    case ELOOP:
        return QStringLiteral("demasiados enlaces simbólicos seguidos (¿un enlace en círculo?)");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    case EEXIST:
        return QStringLiteral("ya existe");
    case ENOTEMPTY:
        return QStringLiteral("la carpeta no está vacía");
    case EXDEV:
        return QStringLiteral("está en otro disco");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case ENOMEM:
        return QStringLiteral("no hay memoria suficiente");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("el dispositivo no está conectado");
    case ENOTTY:
        return QStringLiteral("no es un terminal ni un puerto serie");
    case EAGAIN:
        return QStringLiteral("no está disponible ahora; pruebe más tarde");
    case EINTR:
        return QStringLiteral("se interrumpió");
    case EPIPE:
        return QStringLiteral("el otro lado cerró la conexión");
    case ESTALE:
        return QStringLiteral("el archivo de red ya no es válido (vuelva a conectar la carpeta "
                              "de red)");
    case ENOLCK:
        return QStringLiteral("el sistema no admite más bloqueos");
    case EOPNOTSUPP:
        return QStringLiteral("este disco o dispositivo no lo admite");
    case EINVAL:
        return QStringLiteral("el sistema no acepta la operación (argumento no válido)");
    case EBADF:
        return QStringLiteral("el archivo ya no está abierto");
    case ETIMEDOUT:
        return QStringLiteral("se agotó el tiempo de espera");
    default:
        return QStringLiteral("fallo del sistema (error %1)").arg(error);
    }
}

} // namespace horvex

#pragma once

#include <QString>

namespace horvex {

// "1 error", "3 errores": a number with the word that goes with it.
inline QString counted(qsizetype n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

} // namespace horvex

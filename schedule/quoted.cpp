#include "schedule/quoted.h"

#include <QList>

namespace horvex {

namespace {

const QString kCut = QStringLiteral("…");

QString escaped(char32_t c) {
    const bool byte = c < 0x100;
    return (byte ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
           QStringLiteral("%1").arg(uint(c), byte ? 2 : 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString shown(const QString& text) {
    QString out;
    qsizetype characters = 0;
    // Enough UTF-16 units for kQuotedLimit characters and one more.
    for (const char32_t c : text.left(2 * kQuotedLimit + 2).toUcs4()) {
        if (characters == kQuotedLimit)
            return out + kCut;
        ++characters;
        // A byte that is not UTF-8 was read as U+FFFD: it is junk, not text.
        const bool printable = QChar::isPrint(c) && c != QChar::ReplacementCharacter;
        out += printable ? QString::fromUcs4(&c, 1) : escaped(c);
    }
    return out;
}

QString quoted(const QString& text) {
    return QStringLiteral("«%1»").arg(shown(text));
}

QString cutToBytes(const QString& text, qsizetype most) {
    if (text.size() * 3 <= most || text.toUtf8().size() <= most)
        return text;
    const qsizetype room = most - kCut.toUtf8().size();
    QString out;
    qsizetype bytes = 0;
    for (const char32_t c : text.left(most).toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        bytes += one.toUtf8().size();
        if (bytes > room)
            break;
        out += one;
    }
    return out + kCut;
}

} // namespace horvex

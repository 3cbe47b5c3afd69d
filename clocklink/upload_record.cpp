#include "clocklink/upload_record.h"

#include "schedule/failure.h"
#include "schedule/xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace horvex {

namespace {

QString oldFile(const QString& file) {
    return file + QStringLiteral(".1");
}

QString cannotWrite(const QString& file, const QString& why) {
    return QStringLiteral("no se pudo anotar el envío en %1: %2").arg(file, why);
}

// The last n whole lines of a file, read backwards a block at a time.
QStringList tail(const QString& file, int n) {
    QFile f(file);
    if (n <= 0 || !f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("no se puede leer el registro %1: %2").arg(file, f.errorString()));
    constexpr qint64 kBlock = 64 * 1024;
    qint64 start = f.size();
    QByteArray text;
    while (start > 0 && text.count('\n') <= n) {
        const qint64 from = std::max<qint64>(0, start - kBlock);
        f.seek(from);
        text.prepend(f.read(start - from));
        start = from;
    }
    QList<QByteArray> lines = text.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QStringList out;
    for (qsizetype i = std::max<qsizetype>(start > 0 ? 1 : 0, lines.size() - n); i < lines.size();
         ++i)
        out << QString::fromUtf8(lines.at(i));
    return out;
}

// A new file once this line would take the record past its limit.
void rotateFor(const QString& file, qint64 lineSize) {
    const QFileInfo info(file);
    if (!info.exists() || info.size() == 0 || info.size() + lineSize <= UploadRecord::kLimit)
        return;
    QFile::remove(oldFile(file));
    if (!QFile::rename(file, oldFile(file)))
        throw Failure(
            cannotWrite(file, QStringLiteral("no se puede renombrar a %1").arg(oldFile(file))));
}

} // namespace

UploadRecord::UploadRecord()
    : UploadRecord(QDir(stateHome()).filePath(QStringLiteral("Horvex/envios.log"))) {}

UploadRecord::UploadRecord(QString file)
    : file_(std::move(file)) {}

QString UploadRecord::line(const UploadOutcome& o) {
    const auto field = [](QString text) {
        text.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.remove(QLatin1Char('\r'));
        return text.isEmpty() ? QStringLiteral("-") : text;
    };
    // With the offset, so that a line stays right across a daylight-saving change.
    const QDateTime at = o.at.toOffsetFromUtc(o.at.offsetFromUtc());
    return QStringList{at.toString(Qt::ISODateWithMs),
                       field(o.origin),
                       o.port > 0 ? QStringLiteral("COM%1").arg(o.port) : QStringLiteral("-"),
                       field(o.device),
                       o.reason.isEmpty() ? QStringLiteral("enviado") : field(o.reason),
                       QString::number(o.sent),
                       field(QString::fromLatin1(o.frame.toHex().toUpper()))}
        .join(QLatin1Char('\t'));
}

void UploadRecord::append(const UploadOutcome& outcome) const {
    const QByteArray bytes = (line(outcome) + QLatin1Char('\n')).toUtf8();
    const QString folder = QFileInfo(file_).path();
    if (!QDir().mkpath(folder))
        throw Failure(
            cannotWrite(file_, QStringLiteral("no se puede crear la carpeta %1").arg(folder)));
    rotateFor(file_, bytes.size());
    // One unbuffered write in append mode: lines of two programs never mix.
    QFile f(file_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw Failure(cannotWrite(file_, f.errorString()));
    if (f.write(bytes) != bytes.size())
        throw Failure(cannotWrite(file_, f.errorString()));
}

QStringList UploadRecord::last(int n) const {
    QStringList lines = tail(file_, n);
    if (lines.size() < n)
        lines = tail(oldFile(file_), n - static_cast<int>(lines.size())) + lines;
    return lines;
}

} // namespace horvex

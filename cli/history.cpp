#include "cli/commands.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"

#include <array>

namespace horvex::cli {

namespace {

using State = RecordedUpload::State;
using Row = std::array<QString, 5>;

QString characters(const UploadOutcome& o) {
    const QString sent = o.sent < 0 ? QStringLiteral("?") : QString::number(o.sent);
    return o.frame.isEmpty() ? sent : QStringLiteral("%1 de %2").arg(sent).arg(o.frame.size());
}

QString result(const RecordedUpload& u) {
    switch (u.state) {
    case State::Sent:
        return QStringLiteral("enviado");
    case State::Sending:
        return QStringLiteral("enviando ahora");
    case State::Interrupted:
        return QStringLiteral("interrumpido: el programa terminó durante el envío sin anotar "
                              "cuántos caracteres salieron");
    default:
        return u.outcome.reason;
    }
}

Row row(const RecordedUpload& u) {
    const UploadOutcome& o = u.outcome;
    const QString port = o.port > 0 ? QStringLiteral("COM%1").arg(o.port) : QStringLiteral("-");
    return {o.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), o.origin,
            o.device.isEmpty() ? port : QStringLiteral("%1 (%2)").arg(port, o.device),
            characters(o), result(u)};
}

} // namespace

int runHistory(const Request& r) {
    const UploadRecord record;
    const QList<RecordedUpload> uploads = record.recent(r.historyCount);
    if (uploads.isEmpty()) {
        say(QStringLiteral("Todavía no hay envíos anotados en %1").arg(record.file()));
        return kOk;
    }
    QList<Row> rows{{QStringLiteral("Fecha y hora"), QStringLiteral("Origen"),
                     QStringLiteral("Puerto"), QStringLiteral("Caracteres"),
                     QStringLiteral("Resultado")}};
    for (const RecordedUpload& u : uploads)
        rows << (u.state == State::Unreadable ? Row{} : row(u));
    std::array<qsizetype, 4> width{};
    for (const Row& cells : rows)
        for (std::size_t i = 0; i < width.size(); ++i)
            width[i] = std::max(width[i], cells[i].size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const RecordedUpload* u = i > 0 ? &uploads[i - 1] : nullptr;
        if (u != nullptr && u->state == State::Unreadable) {
            say(QStringLiteral("línea que no es un envío: %1").arg(u->text));
            continue;
        }
        QString line;
        for (std::size_t c = 0; c < width.size(); ++c)
            line += rows[i][c].leftJustified(width[c] + 2);
        say(line + rows[i][4]);
        if (u != nullptr && !u->outcome.rules.isEmpty())
            say(QStringLiteral("  detalle: ") + u->outcome.rules);
        if (r.frames && u != nullptr && !u->outcome.frame.isEmpty())
            say(QStringLiteral("  trama: ") +
                QString::fromLatin1(u->outcome.frame.toHex(' ').toUpper()));
    }
    return kOk;
}

} // namespace horvex::cli

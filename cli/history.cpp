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
    const Row header{QStringLiteral("Fecha y hora"), QStringLiteral("Origen"),
                     QStringLiteral("Puerto"), QStringLiteral("Caracteres"),
                     QStringLiteral("Resultado")};
    // Every column but the last as wide as its widest cell.
    std::array<qsizetype, 4> width{};
    const auto widen = [&](const Row& cells) {
        for (std::size_t c = 0; c < width.size(); ++c)
            width[c] = std::max(width[c], cells[c].size());
    };
    widen(header);
    for (const RecordedUpload& u : uploads)
        if (u.state != State::Unreadable)
            widen(row(u));
    const auto line = [&](const Row& cells) {
        QString text;
        for (std::size_t c = 0; c < width.size(); ++c)
            text += cells[c].leftJustified(width[c] + 2);
        return text + cells[4];
    };

    say(line(header));
    for (const RecordedUpload& u : uploads) {
        if (u.state == State::Unreadable) {
            say(QStringLiteral("línea que no es un envío: %1").arg(u.text));
            continue;
        }
        say(line(row(u)));
        if (!u.outcome.rules.isEmpty())
            say(QStringLiteral("  detalle: ") + u.outcome.rules);
        if (r.frames && !u.outcome.frame.isEmpty())
            say(QStringLiteral("  trama: ") +
                QString::fromLatin1(u.outcome.frame.toHex(' ').toUpper()));
    }
    return kOk;
}

} // namespace horvex::cli

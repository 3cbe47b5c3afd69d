#include "cli/commands.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"

namespace horvex::cli {

int runHistory(const Request& r) {
    const UploadRecord record;
    const QStringList lines = record.last(r.historyCount);
    if (lines.isEmpty())
        say(QStringLiteral("Todavía no hay envíos anotados en %1").arg(record.file()));
    for (const QString& line : lines)
        say(line);
    return kOk;
}

} // namespace horvex::cli

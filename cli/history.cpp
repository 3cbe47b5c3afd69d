#include "cli/commands.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"

namespace horvex::cli {

int runHistory(const Request& r) {
    try {
        const UploadRecord record;
        const QStringList lines = record.last(r.historyCount);
        if (lines.isEmpty())
            say(QStringLiteral("Todavía no hay envíos anotados en %1").arg(record.file()));
        for (const QString& line : lines)
            say(line);
        return kOk;
    } catch (const Failure& failure) {
        complain(failure.description());
        return kFailed;
    }
}

} // namespace horvex::cli

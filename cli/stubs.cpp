// Commands not written yet: each says so.
#include "cli/commands.h"

namespace horvex::cli {

namespace {
int notYet(const char* name) {
    complain(QStringLiteral("--%1: todavía no disponible").arg(QLatin1String(name)));
    return kFailed;
}
} // namespace

int runSync(const Request&) {
    return notYet("sync");
}
int runPrintFrame(const Request&) {
    return notYet("print-frame");
}
int runHistory(const Request&) {
    return notYet("history");
}

} // namespace horvex::cli

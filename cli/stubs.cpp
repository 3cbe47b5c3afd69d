// Commands not written yet: each says so.
#include "cli/commands.h"

namespace horvex::cli {

namespace {
int notYet(const char* name) {
    complain(QStringLiteral("--%1: todavía no disponible").arg(QLatin1String(name)));
    return kFailed;
}
} // namespace

int runListPorts(const Request&) {
    return notYet("list-ports");
}
int runMapPort(const Request&) {
    return notYet("map-port");
}
int runExport(const Request&) {
    return notYet("export");
}
int runImport(const Request&) {
    return notYet("import");
}
int runShow(const Request&) {
    return notYet("show");
}

} // namespace horvex::cli

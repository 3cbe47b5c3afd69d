#pragma once

#include "calendar/plan.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace horvex::cli {

// Exit codes of the command line.
enum Exit : int {
    kOk = 0,     // done (for --sync: the whole frame went out)
    kFailed = 1, // nothing done, nothing sent; the reason is on stderr
    kCut = 2,    // --sync: the frame was cut mid-way
    kUsage = 64, // bad options (as sysexits' EX_USAGE)
};

// What the options asked for, parsed and checked.
struct Request {
    std::optional<int> port; // --port N
    QString schedule;        // --schedule FILE (with --sync or --print-frame)
    int historyCount = 10;   // --history [N]
    bool frames = false;     // --frames, with --history
    QString file;            // --export / --import / --show FILE
    QString mapping;         // --map-port N=DEVICE
    QString calendar;        // --calendar FILE; empty: calendario.ini beside the store
    bool ifNeeded = false;   // --if-needed, with --sync
    QDate day;               // --day DATE
    // --plan [YYYY-MM | YYYY | YYYY-MM..YYYY-MM]; none: this month.
    std::optional<MonthSpan> plan;
    QString pdf; // --pdf FILE, with --plan
    // Where an upload comes from, for the record: the command line, or the
    // calendar window sending the same upload.
    QString origin = QStringLiteral("sync");
};

// Standard output and standard error, in UTF-8, a line at a time; `out`
// writes bytes as they are. A failed write to standard output is kept and
// reported when the command ends, which then fails.
void say(const QString& line);
void out(const QByteArray& bytes);
void complain(const QString& line);
// The errno of the first write to standard output that failed, its last
// flush included; 0 when everything went out.
int outputFailure();

// For its life, what say() and complain() would print goes to `sink`
// instead, a line at a time (`problem` for complain): a window runs a
// command and shows what it said.
class OutputTo {
public:
    using Sink = std::function<void(const QString& line, bool problem)>;
    explicit OutputTo(Sink sink);
    ~OutputTo();
    OutputTo(const OutputTo&) = delete;
    OutputTo& operator=(const OutputTo&) = delete;

private:
    Sink previous_;
};

// One function per command; each returns an Exit code. A Failure that
// escapes one is said on stderr and ends the run with kFailed.
int runSync(const Request& r);
int runPrintFrame(const Request& r);
int runHistory(const Request& r);
int runListPorts(const Request& r);
int runMapPort(const Request& r);
int runExport(const Request& r);
int runImport(const Request& r);
int runShow(const Request& r);
int runDay(const Request& r);
int runPlan(const Request& r);
int runCheck(const Request& r);
// Its exit code is the monitoring plugins' own: 0 ok, 1 warning, 2
// critical, 3 unknown.
int runStatus(const Request& r);

} // namespace horvex::cli

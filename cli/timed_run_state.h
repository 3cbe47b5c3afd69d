#pragma once

// What the timer's runs leave behind for --status and for the desktop's
// notices: $XDG_STATE_HOME/Horvex/temporizador.ini, beside the record of
// uploads, written whole. A run that decides nothing is needed writes
// nothing to the record, so this is where its verdict is kept.

#include "calendar/upload_decision.h"
#include "clocklink/upload_record.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace horvex::cli {

// The last --sync --if-needed.
struct LastTimedRun {
    QDateTime at;
    QString verdict; // "enviar", "nada", "esperar"; empty: it stopped before deciding
    QString result;  // "enviado", "fallido", "cortado"; empty when it sent nothing
    QString reason;  // why it decided so, or why it failed
    QString id;      // the upload's id in the record, when it tried one

    bool failed() const;
    // "2027-03-17 a las 10:45: no se envió (…)", in a sentence.
    QString toString() const;
};

// The state file. Throws Failure with no home folder.
QString timedRunStateFile();

// The last timed run, if one left its state. Throws Failure when the file
// cannot be read.
std::optional<LastTimedRun> lastTimedRun();

// The end of a timed run: keeps its state and tells the desktop when it
// failed, or when uploads work again after a failure it told. `decided` is
// empty when the run stopped before deciding (a calendar with errors).
// Returns `code`; nothing here changes it, and a state that cannot be kept
// is said on stderr.
int timedRunEnded(const std::optional<UploadDecision>& decided, const UploadOutcome& outcome,
                  int code);

} // namespace horvex::cli

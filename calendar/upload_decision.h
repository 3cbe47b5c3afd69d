#pragma once

#include "schedule/module1.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace horvex {

// The last upload that went out whole, as the record of uploads has it:
// what the clock holds, since nothing is read back from it.
struct HeldUpload {
    QDateTime at; // when the frame went out, with the UTC offset of then
    ClockSchedule schedule;
    bool fromWindow = false; // sent from the main window, by hand
    QString origin;          // as the record says: "ventana", "sync", "calendario"
    // Why what the clock holds is in doubt (a later upload went out in
    // part): an upload is then due. Empty when the record is clear.
    QString doubt;
};

struct UploadDecision {
    enum class Verdict {
        Upload, // send now
        Keep,   // nothing to change: the clock is right
        Wait,   // a change is due, but a bell is less than a minute away
    };
    Verdict verdict = Verdict::Keep;
    QString reason; // one sentence, for the operator and the record

    bool upload() const { return verdict == Verdict::Upload; }
};

// Whether a timed run should upload now (`now` in the PC's time zone), given
// what the clock holds and what the calendar would send now. It uploads when
//  1. nothing went out whole yet today (which also sets the clock's time), or
//  2. the UTC offset changed since (daylight saving), or
//  3. the clock would ring otherwise than the calendar in the next 24 hours,
// but never within a minute of a bell of either, and an upload from the
// window holds (rule 3 aside) until the last of its bells that day.
// `source` names what `wouldSend` comes from, for the reason: "el calendario",
// "el horario guardado".
UploadDecision decideUpload(const QDateTime& now, const std::optional<HeldUpload>& held,
                            const ClockSchedule& wouldSend,
                            const QString& source = QStringLiteral("el calendario"));

// What the clock holds and since when, in a sentence or two.
QString heldText(const std::optional<HeldUpload>& held);

// When the timer runs next after `now`: every quarter of an hour.
QDateTime nextTimedRun(const QDateTime& now);

} // namespace horvex

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

class Calendar;

// What the clock should ring: the calendar's days, or with no calendar one
// schedule every day.
struct Expectation {
    const Calendar* calendar = nullptr;
    ClockSchedule fixed; // every day, when there is no calendar
    // What it is called in the reasons: "el calendario", "el horario guardado".
    QString source = QStringLiteral("el calendario");
};

// Whether a timed run should upload now (`now` in the PC's time zone), given
// what the clock holds. It uploads when
//  1. nothing went out whole yet today (which also sets the clock's time), or
//  2. the UTC offset changed since (daylight saving), or
//  3. the clock would ring otherwise than expected before an upload now
//     would run out (24 hours, or up to the next school day's same time
//     across free days), free days aside;
// but a difference of rule 3 more than 20 minutes ahead waits while bells
// remain today (none do on a free day), an upload from the window holds
// (rule 3 aside) until the last of its bells that day, and nothing starts
// within a minute of a bell: the calendar's own (yesterday's, today's,
// tomorrow's) or the held one's at the clock's own time. When it does not
// upload, the reason says when it will, worked out by deciding again at the
// timer's next runs with the same inputs.
UploadDecision decideUpload(const QDateTime& now, const std::optional<HeldUpload>& held,
                            const Expectation& expected);

// What the clock holds and since when, in a sentence or two.
QString heldText(const std::optional<HeldUpload>& held);

// When the timer runs next after `now`: every quarter of an hour.
QDateTime nextTimedRun(const QDateTime& now);

} // namespace horvex

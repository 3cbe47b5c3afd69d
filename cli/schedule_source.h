#pragma once

// What --sync sends and what the clock holds: the stored schedule, the
// calendar and the record of uploads brought together. No widgets, so the
// window can send and show the same.

#include "calendar/calendar.h"
#include "calendar/fetch.h"
#include "calendar/upload_decision.h"
#include "clocklink/upload_record.h"
#include "schedule/module1.h"

#include <QDateTime>
#include <optional>

namespace horvex::cli {

// The schedule as the window shows the mirrors: a text its list does not
// offer shows as nothing selected, and only a check value of 1 rings long.
ClockSchedule asShown(const Module1& m);

// The frame with `t` as its time of day, the texts made as the clock display
// makes them. Throws Failure for a value the clock could not take.
QByteArray frameAt(const ClockSchedule& schedule, const QTime& t);

// The stored schedule as the window would show it, read only.
ClockSchedule storedSchedule();

// The calendar `file` names, which must then exist; with no file,
// calendario.ini beside the store, and nothing when that is not there.
// With `fetch`, the .ics it names by address are fetched first (within
// fetchLimitMs() in all); without, their copies are read as they are.
std::optional<Calendar> loadCalendar(const QString& file, const ClockSchedule& stored,
                                     std::optional<FetchWhen> fetch = std::nullopt);

// "Copias de los .ics: https://…: copia del …, hace 5 días", or nothing
// when the calendar read no copy.
std::optional<QString> copiesLine(const Calendar& calendar);

// What goes out at one moment.
struct Sending {
    ClockSchedule schedule;
    QString rules;   // what chose it, for the record; empty for the stored schedule
    QString leftOut; // the calendar's bells that found no slot, in words
};

// Where --sync takes its schedule from: a schedule file, sent as it is; else
// the calendar's rolling day; else, with no calendar, the stored schedule as
// it stands, slot for slot.
class SyncSource {
public:
    // Throws Failure when the schedule file cannot be read or the calendar
    // has errors (every one named): nothing is to be sent then.
    SyncSource(const ClockSchedule& stored, const QString& calendarFile,
               const QString& scheduleFile = {}, std::optional<FetchWhen> fetch = std::nullopt);

    // What to send when the frame completes at `t`. Throws Failure when a
    // day's schedule cannot be sent.
    Sending at(const QDateTime& t) const;

    // "el calendario", "el horario guardado", "el horario de FILE".
    const QString& name() const { return name_; }
    const std::optional<Calendar>& calendar() const { return calendar_; }
    // What the clock should ring, for a timed run and for "listo hasta".
    Expectation expectation() const;

private:
    std::optional<Calendar> calendar_;
    ClockSchedule fixed_;
    QString name_;
    QString rules_;
};

// What the clock holds, as the record tells it: the last upload that went
// out whole, in doubt when a later one went out in part. Nothing when no
// upload went out whole. Throws Failure when the record cannot be read.
std::optional<HeldUpload> heldUpload(const UploadRecord& record);
// The same from uploads already read, oldest first.
std::optional<HeldUpload> heldUpload(const QList<RecordedUpload>& uploads);

// How far back the record is read for the last whole upload; older lines
// only matter after as many failed runs, which upload anyway.
inline constexpr int kRecordLookBack = 500;

// What a timed run (--sync --if-needed) decides at `at`, given what the
// record of uploads says the clock holds.
struct TimedRun {
    std::optional<HeldUpload> held;
    UploadDecision decision;
};
TimedRun timedRun(const SyncSource& source, const QDateTime& at);

// "listo hasta el …" for a clock holding `held`, as `source` expects it; or
// why that cannot be said.
QString readyText(const SyncSource& source, const std::optional<HeldUpload>& held,
                  const QDateTime& now);
// The same as a sentence of its own: "Listo hasta el …."
QString readySentence(const SyncSource& source, const std::optional<HeldUpload>& held,
                      const QDateTime& now);

} // namespace horvex::cli

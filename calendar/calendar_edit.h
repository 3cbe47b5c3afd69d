#pragma once

#include "calendar/calendar_rules.h"
#include "schedule/failure.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace horvex {

// Changes to a calendar file's text, as a person makes them from a window.
// Each touches only the lines it must: comments, other rules and lines not
// understood stay byte for byte.

// Gives the days first..last the value. A [Fechas] rule that would still
// decide one of those days before the new one (a date or a range inside
// them, a range no longer than them that reaches in) is removed or cut
// back, so those days end with the value and nothing else changes.
void assignDates(IniDocument& doc, QDate first, QDate last, const DayValue& value);

// No [Fechas] rule reaches first..last any more: rules inside are removed,
// those reaching in are cut back to the days outside.
void removeDates(IniDocument& doc, QDate first, QDate last);

// The [Semana] rule of a weekday, 1 Monday to 7 Sunday; none removes it.
void setWeekdayRule(IniDocument& doc, int weekday, const std::optional<DayValue>& value);

// The [Calendarios] rule of an iCalendar file; none removes it.
void setIcsRule(IniDocument& doc, const QString& ics, const std::optional<DayValue>& value);

// The file the calendar names for `path`: relative when it lies in the
// calendar's folder or below, absolute otherwise.
QString nameInCalendar(const QString& calendarFile, const QString& path);

// Writes `edited` under the file's lock, through a temporary file, fsync and
// rename, if the file still holds `loaded` (an absent file counts as empty).
// Throws ChangedOnDisk and writes nothing otherwise; Failure when it cannot
// read, lock or write. Returns the text written.
QByteArray saveCalendarText(const QString& file, const QByteArray& loaded,
                            const IniDocument& edited, MissingFolder missing);

// The file name a new schedule gets from the name a person typed: ".ini"
// added when missing. Throws Failure saying why when the name cannot be a
// file beside the calendar, or is in use there or in the calendar.
QString newScheduleName(const QString& calendarFile, const QString& typed);

// A new schedule file holding `text`. Refuses a file that is already there.
void writeNewScheduleFile(const QString& file, const QByteArray& text);

// Where an .ics chosen anywhere is kept: beside the calendar, under its own
// name, so that tidying the folder it came from changes nothing. Empty when
// it is there already.
QString icsCopyTarget(const QString& calendarFile, const QString& source);
// Copies the .ics whole over `target`. Throws Failure saying why.
void copyIcs(const QString& source, const QString& target);

// Every rule giving days `from` gives them `to` instead.
void renameValue(IniDocument& doc, const QString& from, const QString& to);

// The schedule files in the calendar's folder, by name, in name order: .ini
// files other than the calendar that hold a schedule in either form.
QStringList scheduleFilesBeside(const QString& calendarFile);

} // namespace horvex

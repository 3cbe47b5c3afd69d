#pragma once

#include "schedule/ini_document.h"
#include "schedule/module1.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace horvex {

// A schedule file comes in two forms: the one a person writes, one bell a
// line under [Timbres] (readable_schedule.h), and the older one holding the
// four schedule sections of the settings store (TAla, HH, MM, ALA) under the
// store's names, so a store file is itself a schedule file; in that form
// other sections and lines are ignored.

// The 110 values of a schedule as the file states them, before any check.
// A value the file lacks holds what a fresh store gives.
struct ScheduleTexts {
    QString shortRing;
    QString longRing;
    std::array<QString, kSlots> hour;
    std::array<QString, kSlots> minute;
    std::array<QString, kSlots> check;
};

ScheduleTexts scheduleTexts(const IniDocument& doc);

// Every value of the four sections that the window's lists would not offer
// (hours 00-24, minutes 00-60, ring lengths 01-15, long flags 0 or 1), and
// every key the sections should not hold, one line each:
// "HH/cboHH3: «7» (la lista ofrece 00 a 24)". With `complete`, every value
// the sections lack is named too.
QStringList scheduleProblems(const IniDocument& doc, bool complete);

// What is wrong in a schedule file: at a line of it (the readable form), or
// with line 0 for the file as a whole or a key of the older form.
struct LineProblem {
    int line = 0;
    QString text;
    // "línea 7: …", or the text alone for line 0.
    QString toString() const;
};

struct ParsedSchedule {
    ScheduleTexts texts;
    std::vector<LineProblem> problems;
    bool readable = false; // the [Timbres] form
};

// Either form. With `complete`, a file of the older form must hold all 110
// values.
ParsedSchedule parseSchedule(const QByteArray& bytes, bool complete);

// Whether a text is a schedule of either form at all: a [Timbres] header or
// an HH section, whatever its problems.
bool holdsSchedule(const QByteArray& bytes);

// The same, read from a file. Throws Failure when there is no such file or
// it cannot be read.
ParsedSchedule readSchedule(const QString& file, bool complete);

// A schedule file with no problem at all, complete. Throws Failure naming
// every problem otherwise, or when the file cannot be read.
ScheduleTexts readScheduleTexts(const QString& file);

// The schedule of such a file, for sending.
ClockSchedule readScheduleFile(const QString& file);

// The texts as a schedule; a check value other than "1" rings short.
ClockSchedule clockSchedule(const ScheduleTexts& texts);

// Puts the schedule's 110 values into the four sections, replacing what
// they held; every other section and line stays as it is.
void putSchedule(IniDocument& doc, const ScheduleTexts& schedule);

// Sets the schedule's 110 values where the sections hold them, as the main
// window's save does: a value that reads the same keeps its line byte for
// byte, and keys the sections should not hold stay.
void setSchedule(IniDocument& doc, const ScheduleTexts& schedule);

} // namespace horvex

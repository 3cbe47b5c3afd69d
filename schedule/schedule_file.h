#pragma once

#include "schedule/ini_document.h"
#include "schedule/module1.h"

#include <QString>
#include <QStringList>
#include <array>

namespace horvex {

// A schedule file holds the four schedule sections of the settings store
// (TAla, HH, MM, ALA) under the store's names, so a store file is itself a
// schedule file; other sections and lines are ignored.

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

// A file that holds all 110 values, each one the lists offer. Throws
// Failure naming every wrong key otherwise, or when the file cannot be read.
IniDocument readScheduleDocument(const QString& file);

// The schedule of such a file, for sending.
ClockSchedule readScheduleFile(const QString& file);

// Puts the schedule's 110 values into the four sections, replacing what
// they held; every other section and line stays as it is.
void putSchedule(IniDocument& doc, const ScheduleTexts& schedule);

} // namespace horvex

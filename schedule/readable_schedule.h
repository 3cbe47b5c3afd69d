#pragma once

#include "schedule/schedule_file.h"

#include <QByteArray>
#include <QStringList>

namespace horvex {

// The schedule file a person writes, one bell a line:
//
//   ; Viernes: salida a las 13:00
//   [Timbres]
//   corto=02
//   largo=05
//   08:00
//   12:00 largo
//   H05=13:00
//
// Bells fill the free slots in the order written; "H05=" pins a bell to slot
// H05; slots not named stay unused (hour 24). Comments start with ";".

// Whether the text has a [Timbres] header, which tells this form from the
// store's sections.
bool isReadableSchedule(const QByteArray& bytes);

// The schedule and every line that is wrong: a value the window's lists
// would not offer, a bell or slot given twice, a line that is not understood,
// a ring length missing. Nothing is guessed; the texts hold what was read.
ParsedSchedule parseReadableSchedule(const QByteArray& bytes);

// The schedule in this form, with every slot that holds anything pinned, so
// that reading it back gives the same 110 values. Values the lists would not
// offer are written as they stand (and refused when read back).
QByteArray readableScheduleText(const ScheduleTexts& schedule);

// The comment lines that open a file Horvex writes: what the form is and
// where it is edited.
QStringList readableHeader();
// Whether comment lines are the header earlier versions wrote, which told
// people to edit the file by hand and import it.
bool isOldHeader(const QStringList& comments);

} // namespace horvex

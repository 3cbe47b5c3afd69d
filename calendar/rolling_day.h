#pragma once

#include "calendar/calendar.h"

#include <QDateTime>
#include <QTime>
#include <functional>
#include <vector>

namespace horvex {

// A bell that rings: a slot at hour 00-23 and minute 00-59 (hour 24 is an
// unused slot, and no day has a minute 60).
struct Bell {
    QTime time;
    bool longRing = false;
    QDate day;        // the day whose schedule holds it, when known
    QString schedule; // that schedule's name

    // "largo" or "corto".
    QString ring() const;
    // "08:00 largo", "13:00 corto".
    QString toString() const;
};

// "08:05": a time of day as bells are written.
QString clockText(QTime t);

// "2027-03-01 a las 08:05": a moment as messages give it, in `t`'s own zone.
QString momentText(const QDateTime& t);

// The minute of the day, 0 to 1439: what the clock tells its bells apart by.
int minuteOf(QTime t);

// The minute `t` falls in, counted from the epoch (floored, so a moment
// before 1970 still falls in its own minute): moments compared by minute.
qint64 minuteKey(const QDateTime& t);

// The bells of a schedule in time order. Throws Failure naming the first
// slot whose texts the window's lists would not offer.
std::vector<Bell> bellsOf(const ClockSchedule& schedule);
// A day's bells, each with its day and schedule name. Throws Failure naming
// the day when its schedule has problems.
std::vector<Bell> bellsOfDay(const DayChoice& day);

// What the clock should hold when an upload completes at `at`: the clock has
// no date and rings the same bells every day, so for each time of day it
// holds the bell of the first day from `at` on, at that time of day, that is
// not "libre". With no free day that is today's bells after `at` and then
// tomorrow's up to `at`; on a Friday with a free weekend, Friday's after
// `at` and Monday's up to `at`; on a free day, all of the next school day's.
//
// A bell in the same minute as `at` counts as rung already: its slot holds
// the next day's bell of that minute, if there is one. `at` is read in its
// own time zone, so on the nights the clocks change the dates are those of
// that zone and the time sent is the one the PC shows. The clock keeps the
// UTC offset of `at`: a bell of a day after a change of offset (a Monday
// after the clocks change on Sunday) is put where the clock will then be,
// an hour earlier or later, so that it rings right with the PC off.
struct RollingDay {
    QDateTime at;
    DayChoice after;           // the day whose bells after `at` are held
    DayChoice upTo;            // the day whose bells up to `at` are held
    QDate freeFirst, freeLast; // the free days skipped, if any
    ClockSchedule schedule;    // what to send
    std::vector<Bell> bells;   // in slot order: after's, then upTo's
    std::vector<Bell> left;    // beyond the 36 slots: not sent
    QString ringsFrom;         // the schedule whose ring lengths are sent: the next bell's
};

// How far the rolling day looks for a day that is not "libre": a summer
// holiday and more. Past it a time of day holds no bell, as if silent.
inline constexpr int kFreeDaysAhead = 120;

// The first day from `from` on that is not "libre"; past kFreeDaysAhead, the
// last free day looked at, which rings nothing.
DayChoice nextSchoolDay(const Calendar& calendar, QDate from);

// The bells beyond the 36 slots, "06:00 corto del 2027-03-18, …"; empty when
// every bell has its slot.
QString leftOutText(const RollingDay& r);

// What made the upload, in one line for the record of uploads: each day's
// schedule and the rule that chose it, the rules it overruled, the bells
// left out.
QString rulesText(const RollingDay& r);

// Throws Failure when a day's schedule file has problems.
// Whether a day is "libre".
using FreeDay = std::function<bool(QDate)>;

// `after` is today or, when today is free, the next school day; `upTo` the
// next school day after today; `isFree` says which days between are free
// (none when not given).
RollingDay rollingDay(const DayChoice& after, const DayChoice& upTo, const QDateTime& at,
                      const FreeDay& isFree = {});
RollingDay rollingDay(const Calendar& calendar, const QDateTime& at);

// "Próximo timbre: hoy a las 11:00, largo (examenes.ini)." as `calendar`
// gives it at `now`; a schedule that cannot be read is said, not thrown.
QString nextBellText(const Calendar& calendar, const QDateTime& now);

} // namespace horvex

#pragma once

// How long what the clock holds stays right: the first minute at which it
// rings otherwise than the calendar. It is what someone wants to know before
// switching the PC off.

#include "calendar/calendar.h"
#include "calendar/upload_decision.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace horvex {

// How far ahead the clock is compared with the calendar.
inline constexpr int kReadyDays = 31;

// Where a clock holding `held` first rings otherwise than it should.
struct Divergence {
    QDateTime at; // the minute, in the zone of the `now` it was asked from
    QString text; // "el calendario tiene 08:00 largo y el reloj no"
};

// The first minute after the minute of `now`, up to `until`, at which a
// clock holding `held` rings otherwise than `calendar`, or with no calendar
// than `expected` every day; minutes of "libre" days do not count. The clock
// rings the same bells every day at its own time, which is the PC's time of
// the upload: after a change of UTC offset it rings that much off. `source`
// names the calendar side in the text ("el calendario"). Throws Failure when
// a day's schedule cannot be read.
std::optional<Divergence> firstDivergence(const Calendar* calendar, const ClockSchedule& expected,
                                          const HeldUpload& held, const QDateTime& now,
                                          const QDateTime& until, const QString& source);

// The first minute after `now` at which what the clock holds rings otherwise
// than the calendar (with no calendar, than `stored`), "libre" days aside,
// looking kReadyDays ahead: nothing when nothing differs in that time; `now`
// itself when nothing is known to be held, or what is held is in doubt.
// Throws Failure when a day's schedule in the calendar cannot be read.
std::optional<QDateTime> readyUntil(const Calendar* calendar, const ClockSchedule& stored,
                                    const std::optional<HeldUpload>& held, const QDateTime& now);

// "listo hasta el 2027-03-16 a las 08:00"; "listo para 31 días, hasta el
// 2027-04-16 a las 10:30 por lo menos" when nothing differs; "no está listo:
// no se sabe qué tiene el reloj" when `until` is `now`.
QString readyUntilText(const std::optional<QDateTime>& until, const QDateTime& now);

} // namespace horvex

#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>
#include <vector>

namespace horvex {

// No calendar a school uses comes near this, nor do all the .ics files of one
// calendar together (libical reads that much in about a second); a larger
// file is refused unread.
inline constexpr qint64 kIcsLimit = 16 * 1024 * 1024;

// A run of days that one occurrence of an all-day event covers.
struct IcsOccurrence {
    QDate first;
    QDate last;   // inclusive
    int line = 0; // of the event's BEGIN:VEVENT
    QString summary;
    int days() const { return static_cast<int>(first.daysTo(last)) + 1; }
};

// What could not be read (an error), or what was read and left aside (a
// warning: a timed event marks no day).
struct IcsNote {
    int line = 0; // 0: the file as a whole
    QString text;
    bool warning = false;
};

// An iCalendar file as schools publish them, read once. All-day events mark
// their days: DTEND is exclusive, and none (or one equal to DTSTART) means
// one day; RRULE with COUNT or UNTIL, EXDATE and RDATE repeat them; an event
// with a RECURRENCE-ID replaces its series' occurrence of that date;
// STATUS:CANCELLED marks nothing. An EXDATE, RDATE or RECURRENCE-ID with a
// time names the date it has in its own zone. CRLF or LF, folded lines and
// a stray "Z" after a date are accepted. A date that does not exist, an
// all-day event repeating within a day and a series followed too far are
// errors: the work of one call is bounded.
//
// This class and its source file are the only place that calls libical.
class IcsCalendar {
public:
    // Never throws: what cannot be read is in notes().
    static IcsCalendar parse(const QByteArray& bytes);

    // The occurrences that touch [from, to], in no particular order.
    std::vector<IcsOccurrence> occurrences(QDate from, QDate to) const;

    const std::vector<IcsNote>& notes() const;
    // Errors found while working out days: a file repeating its events more
    // than is followed in one call, whose occurrences() then gives nothing.
    const std::vector<IcsNote>& lateNotes() const;

private:
    struct Data;
    explicit IcsCalendar(std::shared_ptr<const Data> data);
    std::shared_ptr<const Data> d_; // read-only once parsed, so copies share it
};

} // namespace horvex

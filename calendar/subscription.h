#pragma once

// The calendars a school does not write itself: .ics files at an address
// (https://, webcal://, http://) and local .ics files, each kept as its last
// good copy so that the bells go on when the network, or the file, is gone.
// No network here: fetching is calendar/fetch.h's; this is what is kept, how
// fresh it is, and how the calendar reads it.

#include "calendar/ics.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

namespace horvex {

// Whether a [Calendarios] key is an address: https://, webcal:// or
// http://, in any case.
bool isAddress(const QString& key);
// What is fetched: webcal:// is the same address over https.
QUrl addressUrl(const QString& key);
// Whether the address travels in the clear (http://).
bool isPlainHttp(const QString& key);

// The addresses the calendar file names, in the order written; none when it
// cannot be read.
QStringList addressesIn(const QString& calendarFile);

// The last good copy of a calendar: of an address, or of a local file.
struct CalendarCopy {
    QString origin;    // the address as fetched, or the local file's absolute path
    QDateTime fetched; // when it was last known current (fetched, or confirmed unchanged)
    QString etag;
    QString lastModified;
    QByteArray body;

    // The start of the body's SHA-256, which tells copies apart in the record.
    QString digest() const;
};

// The last time an address was asked for, and why it failed; no failure is
// a good answer (a new calendar, or unchanged).
struct FetchAttempt {
    QDateTime at;
    QString failure;
};

// Where the copies are kept: $XDG_CACHE_HOME/Horvex (~/.cache/Horvex). Each
// origin has NAME.copia (the copy, whole) and, for an address, NAME.intento.
namespace copies {
QString folder();
// Nothing when there is no copy or it cannot be read.
std::optional<CalendarCopy> read(const QString& origin);
// Writes the copy whole (a temporary, then a rename). Throws Failure.
void keep(const CalendarCopy& copy);
std::optional<FetchAttempt> lastAttempt(const QString& origin);
// Throws Failure.
void noteAttempt(const QString& origin, const FetchAttempt& attempt);
} // namespace copies

// After a good fetch an address is asked again after this long; after a
// failed one, sooner.
inline constexpr qint64 kFreshSecs = 6 * 3600;
inline constexpr qint64 kRetrySecs = 3600;
// A copy older than this is a warning.
inline constexpr int kStaleDays = 30;

// Whether a timed run fetches `origin` at `now`: with no copy, or 6 hours
// after a good fetch, or an hour after a failed one.
bool fetchDue(const QString& origin, const QDateTime& now);

// "copia del 2027-03-01 a las 09:00, hace 5 días".
QString copyAgeText(const QDateTime& fetched, const QDateTime& now);

// A copy a calendar was read from: always for an address, and for a local
// file that could not be read.
struct CopyUse {
    QString key; // as the calendar writes it
    QDateTime fetched;
    QString digest;
    bool standsIn = false; // for a local file
};

// "https://…/basic.ics: copia del 2027-03-01 a las 09:00, hace 5 días;
// festivos.ics: …", one line; empty when no copy was read.
QString copiesText(const std::vector<CopyUse>& used, const QDateTime& now);
// For the record of uploads: "copia de https://…/basic.ics del
// 2027-03-01T09:00:00 (sha256 3f2a9c1b)", joined by "; ".
QString copiesRecordText(const std::vector<CopyUse>& used);

// A note on reading a calendar's .ics: with no file, it belongs to the
// calendar's own line naming it.
struct SourceNote {
    QString file;
    int line = 0;
    QString text;
    bool warning = false;
};

// An .ics as the calendar reads it.
struct IcsSource {
    std::optional<IcsCalendar> ics; // nothing when neither it nor a copy could be read
    std::vector<SourceNote> notes;
    std::optional<CopyUse> copy;
    qint64 size = 0; // of what was read
};

// Reads the .ics `key` names, found at `path` when it is a local file: an
// address from its copy; a local file from the disk, keeping it as its copy
// when it reads without errors, and from that copy when it cannot be read.
IcsSource readIcsSource(const QString& key, const QString& path, const QDateTime& now);

} // namespace horvex

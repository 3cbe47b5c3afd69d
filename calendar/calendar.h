#pragma once

#include "calendar/calendar_rules.h"
#include "calendar/ics.h"
#include "calendar/subscription.h"
#include "schedule/module1.h"

#include <QDate>
#include <QHash>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace horvex {

// A fault in the calendar or in a file it names, or a warning.
struct CalendarProblem {
    QString file;
    int line = 0; // 0: the file as a whole, or a key of an older schedule file
    QString text;
    bool warning = false;
    QDate day; // the first day a conflict touches

    // A conflict is a problem to fix, but it stops no upload: the rule
    // written last wins and the record says so. Every other error stops them.
    bool isConflict() const { return day.isValid(); }

    // "calendario.ini:9: …", with "aviso: " before a warning.
    QString toString() const;
};

// Which schedule a day uses and why.
struct DayChoice {
    QDate date;
    DayValue value;
    QString rule;     // the rule that chose it, in words
    int ruleLine = 0; // its line in the calendar; 0 when no rule reaches the day
    // Rules of the same rank that give the day another schedule; the one
    // written last won.
    QStringList overruled;
    // The bells; none when the schedule file has problems.
    std::optional<ClockSchedule> schedule;
};

// calendario.ini with every schedule file and iCalendar file it names, read
// once. For each day the most specific rule decides: a single date of
// [Fechas], then a range of [Fechas] (the shorter first), then an event of a
// [Calendarios] file (the shorter first), then [Semana], then "guardado".
// Rules of one rank that disagree are a conflict: check() names them, and
// day() takes the one written last and says so.
//
// Not for use from two threads at once: the days of the .ics files are
// worked out a year at a time, when first asked for.
class Calendar {
public:
    // `stored`: what "guardado" sends, and whose ring lengths "silencio"
    // keeps. A calendar file that is not there is an empty calendar (every
    // day "guardado") unless `mustExist`, when that is a problem.
    static Calendar load(const QString& file, const ClockSchedule& stored, bool mustExist);
    // The calendar `file` as `text` has it, not as the disk has it (a text
    // being edited); the files it names are read from the disk.
    static Calendar parse(const QString& file, const QByteArray& text, const ClockSchedule& stored);

    const QString& file() const { return file_; }
    const std::vector<CalendarRule>& rules() const { return rules_; }

    DayChoice day(QDate date) const;

    // Every problem and warning: of the files as read, and the conflicts of
    // [Fechas] and [Semana], and those of the .ics events from `today` for
    // a year.
    std::vector<CalendarProblem> check(QDate today) const;

    // The errors of the files as read, without the search for conflicts:
    // what stops an upload (a conflict does not: the rule written last wins).
    // Working out days can find more (an .ics file repeating its events
    // more than is followed): ask again after asking for days.
    std::vector<CalendarProblem> errors() const;

    // "guardado", "silencio", then the schedule files in the order written.
    std::vector<DayValue> values() const;

    // The kept copies the .ics were read from: every address's, and a local
    // file's that could not be read (subscription.h's copiesText says them).
    const std::vector<CopyUse>& copies() const { return copies_; }

    // The absolute path of a file the calendar names.
    QString resolve(const QString& name) const;

private:
    struct Candidate {
        int rule = 0;
        QString detail; // an event's own words
    };
    struct Mark {
        int rule = 0;
        int days = 0;
        QString detail;
    };
    using Marks = QHash<QDate, std::vector<Mark>>;

    void problem(const QString& file, int line, const QString& text, bool warning = false);
    void loadSchedule(const QString& name, int line);
    void loadIcs(const QString& name, int line);
    const Marks& marksOf(int year) const;

    std::vector<Candidate> dateCandidates(QDate date) const;
    std::vector<Candidate> rangeCandidates(QDate date) const;
    std::vector<Candidate> eventCandidates(QDate date) const;
    std::vector<Candidate> weekdayCandidates(QDate date) const;
    std::optional<ClockSchedule> scheduleOf(const DayValue& value) const;
    // The rule written last; the rule and an event's own words.
    const Candidate& winnerOf(const std::vector<Candidate>& candidates) const;
    QString describe(const Candidate& c) const;
    DayChoice decide(QDate date, const std::vector<Candidate>& candidates) const;
    using Look = std::function<void(QDate, const std::vector<Candidate>&, int days)>;
    void lookAtRanges(const Look& look) const;
    void findConflicts(std::vector<CalendarProblem>& out, QDate today) const;
    std::vector<CalendarProblem> lateProblems() const;

    QString file_;
    ClockSchedule stored_;
    ClockSchedule silence_;
    std::vector<CalendarRule> rules_;
    std::vector<CalendarProblem> problems_;
    QMultiHash<QDate, int> dates_;                           // single dates of [Fechas]
    QHash<QString, std::optional<ClockSchedule>> schedules_; // by name as written
    std::map<QString, IcsCalendar> ics_;                     // by name as written
    std::vector<CopyUse> copies_;
    mutable std::map<int, Marks> marks_; // by year
    qint64 icsBytes_ = 0;                // of all the .ics files read
};

// calendario.ini beside the settings store's file. Throws Failure when there
// is no home folder.
QString defaultCalendarFile();

// No bell at all: every slot at hour 24, the ring lengths of `stored`.
ClockSchedule silentSchedule(const ClockSchedule& stored);

} // namespace horvex

#include "calendar/calendar.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/quoted.h"
#include "schedule/reg_store.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <iterator>
#include <set>
#include <tuple>

namespace horvex {

namespace {

// Conflicts named; more are said to be there.
constexpr std::size_t kMostConflicts = 100;
// How far ahead the events of the .ics files are checked for conflicts.
constexpr int kEventDaysChecked = 366;

} // namespace

QString CalendarProblem::toString() const {
    // A reason that names its file already needs no other place.
    const QString where = line > 0                ? QStringLiteral("%1:%2: ").arg(file).arg(line)
                          : text.startsWith(file) ? QString()
                                                  : file + QStringLiteral(": ");
    return boundedMessage((warning ? QStringLiteral("aviso: ") : QString()) + where + text);
}

QString defaultCalendarFile() {
    return QFileInfo(RegStore().fileName()).dir().filePath(QStringLiteral("calendario.ini"));
}

ClockSchedule silentSchedule(const ClockSchedule& stored) {
    ClockSchedule silent = unsetSchedule();
    silent.shortRing = stored.shortRing;
    silent.longRing = stored.longRing;
    return silent;
}

Calendar Calendar::load(const QString& file, const ClockSchedule& stored, bool mustExist) {
    QByteArray text;
    try {
        text = mustExist ? readExisting(file, kStoreLimit) : readStoreFile(file);
    } catch (const Failure& f) {
        Calendar c = parse(file, {}, stored);
        c.problem(file, 0, f.description());
        return c;
    }
    return parse(file, text, stored);
}

Calendar Calendar::parse(const QString& file, const QByteArray& text, const ClockSchedule& stored) {
    Calendar c;
    c.file_ = file;
    c.stored_ = stored;
    c.silence_ = silentSchedule(stored);
    ParsedCalendar parsed = parseCalendarRules(text);
    for (const LineProblem& p : parsed.problems)
        c.problem(file, p.line, p.text);
    c.rules_ = std::move(parsed.rules);
    for (std::size_t i = 0; i < c.rules_.size(); ++i) {
        const CalendarRule& rule = c.rules_[i];
        if (rule.kind == CalendarRule::Kind::Date)
            c.dates_.insert(rule.first, static_cast<int>(i));
        if (rule.value.kind == DayValue::Kind::File)
            c.loadSchedule(rule.value.file, rule.line);
        if (rule.kind == CalendarRule::Kind::Calendar)
            c.loadIcs(rule.key, rule.line);
    }
    return c;
}

QString Calendar::resolve(const QString& name) const {
    return QFileInfo(name).isAbsolute() ? name
                                        : QDir(QFileInfo(file_).absolutePath()).filePath(name);
}

void Calendar::problem(const QString& file, int line, const QString& text, bool warning) {
    problems_.push_back({file, line, text, warning, {}});
}

void Calendar::loadSchedule(const QString& name, int line) {
    if (schedules_.contains(name))
        return;
    const QString path = resolve(name);
    std::optional<ClockSchedule> schedule;
    try {
        const ParsedSchedule parsed = readSchedule(path, true);
        for (const LineProblem& p : parsed.problems)
            problem(path, p.line, p.text);
        if (parsed.problems.empty())
            schedule = clockSchedule(parsed.texts);
    } catch (const Failure& f) {
        problem(file_, line, QString(f.description()).replace(path, shown(path)));
    }
    schedules_.insert(name, schedule);
}

void Calendar::loadIcs(const QString& name, int line) {
    if (ics_.count(name) > 0)
        return;
    // An address is read from its copy; a local file that is gone, too.
    const QString path = resolve(name);
    const IcsSource source = readIcsSource(name, path, QDateTime::currentDateTime());
    if ((icsBytes_ += source.size) > kIcsLimit) {
        problem(file_, line,
                QStringLiteral("%1 no se lee: los archivos .ics de un calendario suman como "
                               "mucho %2")
                    .arg(shown(path), sizeText(kIcsLimit)));
        return;
    }
    for (const SourceNote& note : source.notes)
        problem(note.file.isEmpty() ? file_ : note.file, note.file.isEmpty() ? line : note.line,
                note.file.isEmpty() ? QString(note.text).replace(path, shown(path)) : note.text,
                note.warning);
    if (source.ics)
        ics_.emplace(name, *source.ics);
    if (source.copy)
        copies_.push_back(*source.copy);
}

// The days the events mark in one year; of the events on a day, only the
// shortest count.
const Calendar::Marks& Calendar::marksOf(int year) const {
    if (const auto found = marks_.find(year); found != marks_.end())
        return found->second;
    Marks marks;
    const QDate from(year, 1, 1);
    const QDate to(year, 12, 31);
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        const auto ics = ics_.find(rules_[r].key);
        if (rules_[r].kind != CalendarRule::Kind::Calendar || ics == ics_.end())
            continue;
        for (const IcsOccurrence& o : ics->second.occurrences(from, to)) {
            const Mark mark{static_cast<int>(r), o.days(),
                            QStringLiteral("%1, línea %2 de %3")
                                .arg(quoted(o.summary))
                                .arg(o.line)
                                .arg(QFileInfo(rules_[r].key).fileName())};
            for (QDate d = std::max(o.first, from); d <= std::min(o.last, to); d = d.addDays(1)) {
                std::vector<Mark>& onDay = marks[d];
                if (!onDay.empty() && onDay.front().days < mark.days)
                    continue;
                if (!onDay.empty() && onDay.front().days > mark.days)
                    onDay.clear();
                onDay.push_back(mark);
            }
        }
    }
    return marks_.emplace(year, std::move(marks)).first->second;
}

std::vector<Calendar::Candidate> Calendar::dateCandidates(QDate date) const {
    std::vector<Candidate> found;
    for (const int rule : dates_.values(date))
        found.push_back({rule, {}});
    return found;
}

std::vector<Calendar::Candidate> Calendar::rangeCandidates(QDate date) const {
    std::vector<Candidate> found;
    qint64 shortest = 0;
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        const CalendarRule& rule = rules_[r];
        if (rule.kind != CalendarRule::Kind::Range || date < rule.first || date > rule.last)
            continue;
        const qint64 days = rule.first.daysTo(rule.last);
        if (!found.empty() && days > shortest)
            continue;
        if (!found.empty() && days < shortest)
            found.clear();
        shortest = days;
        found.push_back({static_cast<int>(r), {}});
    }
    return found;
}

std::vector<Calendar::Candidate> Calendar::eventCandidates(QDate date) const {
    std::vector<Candidate> found;
    const Marks& marks = marksOf(date.year());
    if (const auto onDay = marks.constFind(date); onDay != marks.cend())
        for (const Mark& m : *onDay)
            found.push_back({m.rule, m.detail});
    return found;
}

std::vector<Calendar::Candidate> Calendar::weekdayCandidates(QDate date) const {
    std::vector<Candidate> found;
    for (std::size_t r = 0; r < rules_.size(); ++r)
        if (rules_[r].kind == CalendarRule::Kind::Weekday && rules_[r].weekday == date.dayOfWeek())
            found.push_back({static_cast<int>(r), {}});
    return found;
}

std::optional<ClockSchedule> Calendar::scheduleOf(const DayValue& value) const {
    switch (value.kind) {
    case DayValue::Kind::Guardado:
        return stored_;
    case DayValue::Kind::Silencio:
    case DayValue::Kind::Libre: // rings nothing of its own: the rolling day skips it
        return silence_;
    case DayValue::Kind::File:
        break;
    }
    return schedules_.value(value.file);
}

const Calendar::Candidate& Calendar::winnerOf(const std::vector<Candidate>& candidates) const {
    return *std::max_element(candidates.begin(), candidates.end(),
                             [&](const Candidate& a, const Candidate& b) {
                                 return rules_[a.rule].line < rules_[b.rule].line;
                             });
}

QString Calendar::describe(const Candidate& c) const {
    const QString rule = rules_[c.rule].describe();
    return c.detail.isEmpty() ? rule : rule + QStringLiteral(": ") + c.detail;
}

DayChoice Calendar::decide(QDate date, const std::vector<Candidate>& candidates) const {
    DayChoice choice;
    choice.date = date;
    if (candidates.empty()) {
        choice.rule = QStringLiteral("ninguna regla del calendario llega a este día");
        choice.schedule = stored_;
        return choice;
    }
    const Candidate& winner = winnerOf(candidates);
    const CalendarRule& rule = rules_[winner.rule];
    choice.value = rule.value;
    choice.ruleLine = rule.line;
    choice.rule = QStringLiteral("%1 (línea %2 de %3)")
                      .arg(rule.name())
                      .arg(rule.line)
                      .arg(QFileInfo(file_).fileName());
    if (!winner.detail.isEmpty())
        choice.rule += QStringLiteral(": ") + winner.detail;
    for (const Candidate& c : candidates)
        if (rules_[c.rule].value != rule.value && !choice.overruled.contains(describe(c)))
            choice.overruled << describe(c);
    choice.schedule = scheduleOf(rule.value);
    return choice;
}

DayChoice Calendar::day(QDate date) const {
    using Finder = std::vector<Candidate> (Calendar::*)(QDate) const;
    for (const Finder find : {&Calendar::dateCandidates, &Calendar::rangeCandidates,
                              &Calendar::eventCandidates, &Calendar::weekdayCandidates}) {
        const std::vector<Candidate> candidates = (this->*find)(date);
        if (!candidates.empty())
            return decide(date, candidates);
    }
    return decide(date, {});
}

// The ranges' days a run at a time: between two of their ends the ranges
// covering a day stay the same, so a calendar of thousands of long ranges is
// looked at once per end, not once per day.
void Calendar::lookAtRanges(const Look& look) const {
    std::map<QDate, std::vector<int>> ends; // rule + 1 where it starts, -(rule + 1) after its end
    for (std::size_t r = 0; r < rules_.size(); ++r)
        if (rules_[r].kind == CalendarRule::Kind::Range) {
            ends[rules_[r].first].push_back(static_cast<int>(r) + 1);
            ends[rules_[r].last.addDays(1)].push_back(-static_cast<int>(r) - 1);
        }
    std::set<std::pair<qint64, int>> covering; // length, rule
    for (auto at = ends.cbegin(); at != ends.cend(); ++at) {
        for (const int end : at->second) {
            const int r = std::abs(end) - 1;
            const std::pair key(rules_[r].first.daysTo(rules_[r].last), r);
            if (end > 0)
                covering.insert(key);
            else
                covering.erase(key);
        }
        const auto next = std::next(at);
        if (covering.empty() || next == ends.cend())
            continue;
        std::vector<Candidate> shortest;
        for (const auto& [length, r] : covering) {
            if (length != covering.begin()->first)
                break;
            shortest.push_back({r, {}});
        }
        look(at->first, shortest, static_cast<int>(at->first.daysTo(next->first)));
    }
}

void Calendar::findConflicts(std::vector<CalendarProblem>& out, QDate today) const {
    struct Seen {
        QDate first;
        int days = 0;
        QString winner, loser;
        bool dated = true; // not a weekday's
    };
    std::map<std::pair<int, int>, Seen> found; // by the lines of winner and loser
    bool more = false;
    const Look look = [&](QDate d, const std::vector<Candidate>& candidates, int days) {
        if (candidates.size() < 2)
            return;
        const Candidate& w = winnerOf(candidates);
        const CalendarRule& won = rules_[w.rule];
        for (const Candidate& c : candidates) {
            const CalendarRule& lost = rules_[c.rule];
            if (lost.value == won.value)
                continue;
            // Every two of thousands of rules could disagree: a list that
            // long would say nothing more.
            const std::pair lines(won.line, lost.line);
            if (found.size() == kMostConflicts && found.count(lines) == 0) {
                more = true;
                continue;
            }
            Seen& seen = found[lines];
            if (seen.days == 0)
                seen = {d, 0, describe(w), describe(c), won.kind != CalendarRule::Kind::Weekday};
            seen.days += days;
        }
    };

    for (const QDate d : dates_.uniqueKeys())
        look(d, dateCandidates(d), 1);
    lookAtRanges(look);
    for (int i = 0; i < 7; ++i)
        look(today.addDays(i), weekdayCandidates(today.addDays(i)), 1);
    for (int i = 0; i < kEventDaysChecked; ++i)
        look(today.addDays(i), eventCandidates(today.addDays(i)), 1);

    for (const auto& [lines, seen] : found) {
        const QString when =
            !seen.dated ? QString()
                        : QStringLiteral(" el %1").arg(seen.first.toString(Qt::ISODate)) +
                              (seen.days > 1 ? QStringLiteral(" y %1 días más").arg(seen.days - 1)
                                             : QString());
        out.push_back({file_, lines.first,
                       QStringLiteral("conflicto%1: %2 y %3 dan horarios distintos; gana la "
                                      "escrita después")
                           .arg(when, seen.loser, seen.winner),
                       false, seen.first});
    }
    if (more)
        out.push_back(
            {file_, 0,
             QStringLiteral("y más conflictos: se nombran los %1 primeros").arg(kMostConflicts),
             false, today});
}

std::vector<CalendarProblem> Calendar::lateProblems() const {
    std::vector<CalendarProblem> out;
    for (const auto& [name, ics] : ics_)
        for (const IcsNote& note : ics.lateNotes())
            out.push_back({resolve(name), note.line, note.text, note.warning, {}});
    return out;
}

std::vector<CalendarProblem> Calendar::check(QDate today) const {
    std::vector<CalendarProblem> out = problems_;
    // The calendar's own lines in order, then the files it names.
    std::stable_sort(out.begin(), out.end(),
                     [&](const CalendarProblem& a, const CalendarProblem& b) {
                         return std::tuple(a.file != file_, a.file, a.line) <
                                std::tuple(b.file != file_, b.file, b.line);
                     });
    findConflicts(out, today);
    for (const CalendarProblem& p : lateProblems())
        out.push_back(p);
    return out;
}

std::vector<CalendarProblem> Calendar::errors() const {
    std::vector<CalendarProblem> out;
    for (const CalendarProblem& p : problems_)
        if (!p.warning)
            out.push_back(p);
    for (const CalendarProblem& p : lateProblems())
        out.push_back(p);
    return out;
}

std::vector<DayValue> Calendar::values() const {
    std::vector<DayValue> found{{DayValue::Kind::Guardado, {}},
                                {DayValue::Kind::Silencio, {}},
                                {DayValue::Kind::Libre, {}}};
    for (const CalendarRule& rule : rules_)
        if (std::find(found.begin(), found.end(), rule.value) == found.end())
            found.push_back(rule.value);
    return found;
}

} // namespace horvex

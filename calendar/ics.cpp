// Every libical call of the program is in this file: its next major version
// changes the API, and this keeps the change in one place.
#include "calendar/ics.h"

#include "schedule/lists.h"
#include "schedule/quoted.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <algorithm>
#include <libical/ical.h>

namespace horvex {

namespace {

// A series followed day by day for longer than this is more likely a
// mistake than a school's calendar, and would take long to follow.
constexpr int kMostRepeats = 3660;
// Repetitions worked out for one file and one span of dates (a year): far
// above a school's calendar, and a few tenths of a second of work.
constexpr int kMostSteps = 100000;

struct Prepared {
    QByteArray text;
    std::vector<int> eventLines;   // where each BEGIN:VEVENT stands in the file
    std::vector<IcsNote> notes;    // dates that do not exist
    QSet<std::size_t> wrongEvents; // those holding them, by their place in eventLines
};

bool holdsDates(const QByteArray& upperName) {
    static const QList<QByteArray> names{"DTSTART", "DTEND", "EXDATE", "RDATE", "RECURRENCE-ID"};
    return names.contains(upperName);
}

bool holdsRule(const QByteArray& upperName) {
    return upperName == "RRULE" || upperName == "EXRULE";
}

// The dates a line gives that no calendar has: "20270230", "00000101".
// libical reads them as they stand and marks nothing with them.
QStringList impossibleDates(const QByteArray& upperName, const QString& value) {
    static const QRegularExpression dated(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})(T\\d{6}Z?)?$"));
    static const QRegularExpression until(QStringLiteral("(?:^|;)UNTIL=([^;]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QStringList values;
    if (holdsRule(upperName))
        values << until.match(value).captured(1);
    else
        for (const QString& v : value.split(QLatin1Char(',')))
            values << v.section(QLatin1Char('/'), 0, 0); // a PERIOD's start
    QStringList wrong;
    for (const QString& v : values) {
        const QRegularExpressionMatch m = dated.match(v.trimmed());
        if (m.hasMatch() &&
            !QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()).isValid())
            wrong << v.trimmed();
    }
    return wrong;
}

// Unfolds the lines (CRLF or LF), noting where each event begins and the
// dates that do not exist, and drops the "Z" some exporters put after a
// date ("DTSTART;VALUE=DATE:20270801Z"): libical would read no date there.
Prepared prepare(const QByteArray& bytes) {
    struct Logical {
        QByteArray text;
        int line;
    };
    std::vector<Logical> logical;
    const QList<QByteArray> physical = bytes.split('\n');
    for (int i = 0; i < physical.size(); ++i) {
        QByteArray line = physical[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (!logical.empty() && (line.startsWith(' ') || line.startsWith('\t')))
            logical.back().text += line.mid(1);
        else
            logical.push_back({line, i + 1});
    }
    static const QRegularExpression strayZ(QStringLiteral("(^|,)(\\d{8})Z(?=,|$)"));
    Prepared out;
    for (Logical& l : logical) {
        if (l.text.trimmed().toUpper() == "BEGIN:VEVENT")
            out.eventLines.push_back(l.line);
        const qsizetype colon = l.text.indexOf(':');
        const qsizetype semicolon = l.text.indexOf(';');
        const qsizetype nameEnd = semicolon >= 0 && semicolon < colon ? semicolon : colon;
        const QByteArray name = colon > 0 ? l.text.left(nameEnd).trimmed().toUpper() : QByteArray();
        if (holdsDates(name) || holdsRule(name)) {
            QString value = QString::fromLatin1(l.text.mid(colon + 1));
            if (holdsDates(name))
                value.replace(strayZ, QStringLiteral("\\1\\2"));
            for (const QString& wrong : impossibleDates(name, value)) {
                if (!out.eventLines.empty())
                    out.wrongEvents.insert(out.eventLines.size() - 1);
                out.notes.push_back({l.line,
                                     QStringLiteral("%1: la fecha %2 no existe")
                                         .arg(QString::fromLatin1(name), wrong),
                                     false});
            }
            l.text = l.text.left(colon + 1) + value.toLatin1();
        }
        out.text += l.text + "\r\n";
    }
    return out;
}

QDate dateOf(const icaltimetype& t) {
    return QDate(t.year, t.month, t.day);
}

icaltimetype dateValue(QDate d) {
    icaltimetype t = icaltime_null_date();
    t.year = d.year();
    t.month = d.month();
    t.day = d.day();
    return t;
}

QByteArray occurrenceKey(const QByteArray& uid, QDate day) {
    return uid + '\n' + QByteArray::number(day.toJulianDay());
}

QString text(const char* s) {
    return s != nullptr ? QString::fromUtf8(s) : QString();
}

// Repeats more than once a day: hourly, or at hours, minutes or seconds.
bool repeatsWithinADay(const icalrecurrencetype& rule) {
    return rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
           rule.freq == ICAL_HOURLY_RECURRENCE || rule.by_hour[0] != ICAL_RECURRENCE_ARRAY_MAX ||
           rule.by_minute[0] != ICAL_RECURRENCE_ARRAY_MAX ||
           rule.by_second[0] != ICAL_RECURRENCE_ARRAY_MAX;
}

// One all-day event that marks days. Its dates are those of its values as
// written: an EXDATE, RDATE or RECURRENCE-ID with a time (in a zone or not)
// names the day it falls on in that zone.
struct Event {
    int line = 0;
    QString summary;
    QByteArray uid;
    QDate start;
    icaltimetype dtstart{};
    int days = 1;
    bool replacesOne = false;                    // it has a RECURRENCE-ID
    std::vector<icalrecurrencetype> rules;       // owned by the calendar's root
    std::vector<icalrecurrencetype> exceptRules; // EXRULE
    std::vector<QDate> added;                    // RDATE
    QSet<QDate> removed;                         // EXDATE
};

} // namespace

struct IcsCalendar::Data {
    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> root{nullptr, icalcomponent_free};
    std::vector<Event> events;
    QSet<QByteArray> replaced; // uid + date of occurrences moved or cancelled one by one
    std::vector<IcsNote> notes;
    mutable std::vector<IcsNote> late; // found while working out days

    void read(icalcomponent* event, int line);
    bool readRules(icalcomponent* component, Event& e);
    void note(int line, const QString& summary, const QString& text, bool warning) {
        notes.push_back({line,
                         summary.isEmpty() ? text : quoted(summary) + QStringLiteral(": ") + text,
                         warning});
    }
    // Each day an occurrence of `e` starts on, from `from` to `to`, counting
    // libical's steps against `steps`; false once they run out.
    bool starts(const Event& e, QDate from, QDate to, int& steps, std::vector<QDate>& out) const;
    // The days `rules` give `e` from `from` to `to`, counted the same way.
    bool follow(const Event& e, const std::vector<icalrecurrencetype>& rules, QDate from, QDate to,
                int& steps, std::vector<QDate>& out) const;
};

bool IcsCalendar::Data::readRules(icalcomponent* component, Event& e) {
    const auto fault = [&](const QString& what) { note(e.line, e.summary, what, false); };
    for (const icalproperty_kind kind : {ICAL_RRULE_PROPERTY, ICAL_EXRULE_PROPERTY})
        for (icalproperty* p = icalcomponent_get_first_property(component, kind); p != nullptr;
             p = icalcomponent_get_next_property(component, kind)) {
            const icalrecurrencetype rule = kind == ICAL_RRULE_PROPERTY
                                                ? icalproperty_get_rrule(p)
                                                : icalproperty_get_exrule(p);
            if (rule.freq == ICAL_NO_RECURRENCE) // unreadable, and named as such
                continue;
            if (repeatsWithinADay(rule)) {
                fault(QStringLiteral(
                    "un evento de día entero que se repite más de una vez al día "
                    "(cada hora, minuto o segundo, o con BYHOUR, BYMINUTE o BYSECOND)"));
                return false;
            }
            if (rule.count > kMostRepeats) {
                fault(QStringLiteral("se repite %1 veces (COUNT), más de las %2 que se siguen")
                          .arg(rule.count)
                          .arg(kMostRepeats));
                return false;
            }
            (kind == ICAL_RRULE_PROPERTY ? e.rules : e.exceptRules).push_back(rule);
        }
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
        const QDate day =
            dateOf(icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time);
        if (day.isValid())
            e.added.push_back(day);
    }
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_EXDATE_PROPERTY))
        e.removed.insert(dateOf(icalproperty_get_exdate(p)));
    return true;
}

void IcsCalendar::Data::read(icalcomponent* component, int line) {
    Event e;
    e.line = line;
    e.summary = text(icalcomponent_get_summary(component));
    const auto fault = [&](const QString& what) { note(line, e.summary, what, false); };
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY))
        fault(QStringLiteral("no se entiende: %1").arg(shown(text(icalproperty_get_xlicerror(p)))));

    e.uid = QByteArray(icalcomponent_get_uid(component));
    if (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY)) {
        e.replacesOne = true;
        replaced.insert(occurrenceKey(e.uid, dateOf(icalproperty_get_recurrenceid(p))));
    }
    if (icalcomponent_get_status(component) == ICAL_STATUS_CANCELLED)
        return;
    icalproperty* startProperty =
        icalcomponent_get_first_property(component, ICAL_DTSTART_PROPERTY);
    e.dtstart = startProperty ? icalproperty_get_dtstart(startProperty) : icaltime_null_time();
    if (icaltime_is_null_time(e.dtstart))
        return fault(QStringLiteral("sin fecha de comienzo (DTSTART) legible"));
    e.start = dateOf(e.dtstart);
    if (!e.start.isValid()) // named with its line
        return;
    if (!e.dtstart.is_date)
        return note(line, e.summary,
                    QStringLiteral("evento con hora (%1 %2:%3), no marca ningún día")
                        .arg(e.start.toString(Qt::ISODate), twoDigitText(e.dtstart.hour),
                             twoDigitText(e.dtstart.minute)),
                    true);

    if (icalproperty* p = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY)) {
        const icaltimetype end = icalproperty_get_dtend(p);
        if (icaltime_is_null_time(end))
            return fault(QStringLiteral("fecha de fin (DTEND) ilegible"));
        if (!dateOf(end).isValid())
            return;
        e.days = static_cast<int>(e.start.daysTo(dateOf(end)));
    } else if (icalproperty* d =
                   icalcomponent_get_first_property(component, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype duration = icalproperty_get_duration(d);
        e.days = duration.is_neg ? -1 : static_cast<int>(duration.weeks * 7 + duration.days);
    }
    if (e.days < 0)
        return fault(QStringLiteral("termina antes de empezar"));
    // DTEND is exclusive; one equal to DTSTART still means the one day.
    e.days = std::max(e.days, 1);
    if (readRules(component, e))
        events.push_back(std::move(e));
}

bool IcsCalendar::Data::starts(const Event& e, QDate from, QDate to, int& steps,
                               std::vector<QDate>& out) const {
    out.push_back(e.start);
    out.insert(out.end(), e.added.begin(), e.added.end());
    return follow(e, e.rules, from, to, steps, out);
}

bool IcsCalendar::Data::follow(const Event& e, const std::vector<icalrecurrencetype>& rules,
                               QDate from, QDate to, int& steps, std::vector<QDate>& out) const {
    for (const icalrecurrencetype& rule : rules) {
        if (!icaltime_is_null_time(rule.until) && dateOf(rule.until) < from)
            continue;
        const std::unique_ptr<icalrecur_iterator, void (*)(icalrecur_iterator*)> it(
            icalrecur_iterator_new(rule, e.dtstart), icalrecur_iterator_free);
        if (!it)
            continue;
        // Without COUNT a series can be taken up anywhere; with one, it is
        // followed from its start (and COUNT is bounded).
        if (rule.count == 0 && from > e.start)
            icalrecur_iterator_set_start(it.get(), dateValue(from));
        for (icaltimetype t = icalrecur_iterator_next(it.get()); !icaltime_is_null_time(t);
             t = icalrecur_iterator_next(it.get())) {
            if (--steps < 0)
                return false;
            const QDate day = dateOf(t);
            if (day > to)
                break;
            out.push_back(day);
        }
    }
    return true;
}

IcsCalendar::IcsCalendar(std::shared_ptr<const Data> data)
    : d_(std::move(data)) {}

IcsCalendar IcsCalendar::parse(const QByteArray& bytes) {
    auto d = std::make_shared<Data>();
    const Prepared prepared = prepare(bytes);
    d->notes = prepared.notes;
    icalerror_set_errors_are_fatal(0);
    d->root.reset(icalparser_parse_string(prepared.text.constData()));
    icalerror_clear_errno();

    std::vector<icalcomponent*> calendars;
    if (d->root && icalcomponent_isa(d->root.get()) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(d->root.get());
    else if (d->root)
        for (icalcomponent* c =
                 icalcomponent_get_first_component(d->root.get(), ICAL_VCALENDAR_COMPONENT);
             c != nullptr;
             c = icalcomponent_get_next_component(d->root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    if (calendars.empty()) {
        d->notes.push_back({0,
                            QStringLiteral("no es un calendario iCalendar (BEGIN:VCALENDAR … "
                                           "END:VCALENDAR)"),
                            false});
        return IcsCalendar(std::move(d));
    }

    std::vector<icalcomponent*> events;
    for (icalcomponent* calendar : calendars)
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
             e != nullptr; e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            events.push_back(e);
    // Lines are known when every event the file begins is one libical kept.
    const bool linesKnown = prepared.eventLines.size() == events.size();
    // An event with a date that does not exist marks nothing; the date is
    // named with its line.
    for (std::size_t i = 0; i < events.size(); ++i)
        if (!linesKnown || !prepared.wrongEvents.contains(i))
            d->read(events[i], linesKnown ? prepared.eventLines[i] : 0);
    std::stable_sort(d->notes.begin(), d->notes.end(),
                     [](const IcsNote& a, const IcsNote& b) { return a.line < b.line; });
    return IcsCalendar(std::move(d));
}

std::vector<IcsOccurrence> IcsCalendar::occurrences(QDate from, QDate to) const {
    std::vector<IcsOccurrence> found;
    if (!d_->late.empty()) // an error already: not worked out again
        return found;
    int steps = kMostSteps;
    std::vector<QDate> starts;
    std::vector<QDate> excepted;
    for (const Event& e : d_->events) {
        starts.clear();
        excepted.clear();
        // libical's own expansion reads all-day spans a day too long, keeps
        // occurrences that a RECURRENCE-ID moved and compares an EXDATE with
        // a time to the start's midnight: only the starts are taken from it.
        if (!d_->starts(e, from.addDays(1 - e.days), to, steps, starts) ||
            !d_->follow(e, e.exceptRules, from.addDays(1 - e.days), to, steps, excepted)) {
            if (d_->late.empty())
                d_->late.push_back(
                    {0,
                     QStringLiteral("sus eventos se repiten más de %1 veces en un año: no se "
                                    "siguen")
                         .arg(kMostSteps),
                     false});
            return {};
        }
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        for (const QDate first : starts) {
            const QDate last = first.addDays(e.days - 1);
            // An occurrence moved or cancelled by an event of its own is
            // that event's business.
            if (last < from || first > to || e.removed.contains(first) ||
                std::find(excepted.begin(), excepted.end(), first) != excepted.end() ||
                (!e.replacesOne && d_->replaced.contains(occurrenceKey(e.uid, first))))
                continue;
            found.push_back({first, last, e.line, e.summary});
        }
    }
    return found;
}

const std::vector<IcsNote>& IcsCalendar::notes() const {
    return d_->notes;
}

const std::vector<IcsNote>& IcsCalendar::lateNotes() const {
    return d_->late;
}

} // namespace horvex

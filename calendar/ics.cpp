// Every libical call of the program is in this file: its next major version
// changes the API, and this keeps the change in one place.
#include "calendar/ics.h"

#include "schedule/lists.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <functional>
#include <libical/ical.h>

namespace horvex {

namespace {

struct Prepared {
    QByteArray text;
    std::vector<int> eventLines; // where each BEGIN:VEVENT stands in the file
};

bool holdsDates(const QByteArray& upperName) {
    static const QList<QByteArray> names{"DTSTART", "DTEND", "EXDATE", "RDATE", "RECURRENCE-ID"};
    return names.contains(upperName);
}

// Unfolds the lines (CRLF or LF), noting where each event begins, and drops
// the "Z" some exporters put after a date ("DTSTART;VALUE=DATE:20270801Z"):
// libical would read no date at all there.
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
        if (colon > 0 && holdsDates(l.text.left(nameEnd).trimmed().toUpper())) {
            QString value = QString::fromLatin1(l.text.mid(colon + 1));
            value.replace(strayZ, QStringLiteral("\\1\\2"));
            l.text = l.text.left(colon + 1) + value.toLatin1();
        }
        out.text += l.text + "\r\n";
    }
    return out;
}

QDate dateOf(const icaltimetype& t) {
    return QDate(t.year, t.month, t.day);
}

icaltimetype utcMidnight(QDate d) {
    icaltimetype t = icaltime_null_time();
    t.year = d.year();
    t.month = d.month();
    t.day = d.day();
    t.zone = icaltimezone_get_utc_timezone();
    return t;
}

QByteArray occurrenceKey(const QByteArray& uid, QDate day) {
    return uid + '\n' + QByteArray::number(day.toJulianDay());
}

QString text(const char* s) {
    return s != nullptr ? QString::fromUtf8(s) : QString();
}

// One all-day event that marks days.
struct Event {
    int line = 0;
    QString summary;
    QByteArray uid;
    QDate start;
    int days = 1;
    bool recurs = false;
    bool replacesOne = false;           // it has a RECURRENCE-ID
    icalcomponent* component = nullptr; // owned by the calendar's root
};

void onOccurrence(icalcomponent*, icaltime_span* span, void* data) {
    const auto& add = *static_cast<std::function<void(QDate)>*>(data);
    add(QDateTime::fromSecsSinceEpoch(span->start, QTimeZone::utc()).date());
}

} // namespace

struct IcsCalendar::Data {
    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> root{nullptr, icalcomponent_free};
    std::vector<Event> events;
    QSet<QByteArray> replaced; // uid + date of occurrences moved or cancelled one by one
    std::vector<IcsNote> notes;

    void read(icalcomponent* event, int line);
    void note(int line, const QString& summary, const QString& text, bool warning) {
        notes.push_back({line,
                         summary.isEmpty() ? text : QStringLiteral("«%1»: %2").arg(summary, text),
                         warning});
    }
};

void IcsCalendar::Data::read(icalcomponent* component, int line) {
    Event e{line, text(icalcomponent_get_summary(component)), {}, {}, 1, false, false, component};
    const auto fault = [&](const QString& what) { note(line, e.summary, what, false); };
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY))
        fault(QStringLiteral("no se entiende: %1").arg(text(icalproperty_get_xlicerror(p))));

    e.uid = QByteArray(icalcomponent_get_uid(component));
    if (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY)) {
        e.replacesOne = true;
        replaced.insert(occurrenceKey(e.uid, dateOf(icalproperty_get_recurrenceid(p))));
    }
    if (icalcomponent_get_status(component) == ICAL_STATUS_CANCELLED)
        return;
    icalproperty* startProperty =
        icalcomponent_get_first_property(component, ICAL_DTSTART_PROPERTY);
    const icaltimetype start =
        startProperty ? icalproperty_get_dtstart(startProperty) : icaltime_null_time();
    if (icaltime_is_null_time(start))
        return fault(QStringLiteral("sin fecha de comienzo (DTSTART) legible"));
    e.start = dateOf(start);
    if (!start.is_date)
        return note(line, e.summary,
                    QStringLiteral("evento con hora (%1 %2:%3), no marca ningún día")
                        .arg(e.start.toString(Qt::ISODate), twoDigitText(start.hour),
                             twoDigitText(start.minute)),
                    true);

    if (icalproperty* p = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY)) {
        const icaltimetype end = icalproperty_get_dtend(p);
        if (icaltime_is_null_time(end))
            return fault(QStringLiteral("fecha de fin (DTEND) ilegible"));
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
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_RRULE_PROPERTY)) {
        // Hundreds of thousands of copies of each day a year: a mistake, and
        // one that would take long to follow.
        const icalrecurrencetype_frequency every = icalproperty_get_rrule(p).freq;
        if (every == ICAL_SECONDLY_RECURRENCE || every == ICAL_MINUTELY_RECURRENCE ||
            every == ICAL_HOURLY_RECURRENCE)
            return fault(QStringLiteral("un evento de día entero que se repite cada hora, minuto "
                                        "o segundo"));
        e.recurs = true;
    }
    e.recurs =
        e.recurs || icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY) != nullptr;
    events.push_back(std::move(e));
}

IcsCalendar::IcsCalendar(std::shared_ptr<const Data> data)
    : d_(std::move(data)) {}

IcsCalendar IcsCalendar::parse(const QByteArray& bytes) {
    auto d = std::make_shared<Data>();
    const Prepared prepared = prepare(bytes);
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
    for (std::size_t i = 0; i < events.size(); ++i)
        d->read(events[i], linesKnown ? prepared.eventLines[i] : 0);
    return IcsCalendar(std::move(d));
}

std::vector<IcsOccurrence> IcsCalendar::occurrences(QDate from, QDate to) const {
    std::vector<IcsOccurrence> found;
    for (const Event& e : d_->events) {
        std::function<void(QDate)> add = [&](QDate first) {
            const QDate last = first.addDays(e.days - 1);
            if (last < from || first > to)
                return;
            // An occurrence moved or cancelled by an event of its own is that
            // event's business.
            if (!e.replacesOne && d_->replaced.contains(occurrenceKey(e.uid, first)))
                return;
            found.push_back({first, last, e.line, e.summary});
        };
        if (!e.recurs) {
            add(e.start);
            continue;
        }
        // libical's spans of all-day events end a day late (DTEND read as
        // inclusive) and keep occurrences that a RECURRENCE-ID moved: only
        // the start of each is taken, the rest is worked out here.
        icalcomponent_foreach_recurrence(e.component, utcMidnight(from.addDays(-e.days)),
                                         utcMidnight(to.addDays(1)), onOccurrence, &add);
    }
    return found;
}

const std::vector<IcsNote>& IcsCalendar::notes() const {
    return d_->notes;
}

} // namespace horvex

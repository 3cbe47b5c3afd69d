// --day, --plan and --check: the calendar as the bells will follow it.
#include "calendar/plan.h"
#include "cli/commands.h"
#include "cli/plan_sheet.h"
#include "cli/schedule_source.h"
#include "clocklink/pc_clock.h"
#include "schedule/counted.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/reg_store.h"

#include <QFileInfo>
#include <algorithm>
#include <set>

namespace horvex::cli {

namespace {

bool isThere(const QString& file) {
    const QFileInfo info(file);
    return info.exists() || info.isSymLink();
}

// The calendar --day and --plan read. One that is not there has no rule:
// every day uses the stored schedule.
Calendar calendarFor(const Request& r) {
    if (!r.calendar.isEmpty() && !isThere(r.calendar))
        throw Failure(QStringLiteral("%1 no existe").arg(r.calendar));
    const ClockSchedule stored = storedSchedule();
    if (std::optional<Calendar> calendar = loadCalendar(r.calendar, stored, FetchWhen::IfDue))
        return std::move(*calendar);
    complain(QStringLiteral("aviso: no hay calendario (%1 no existe): todos los días usan el "
                            "horario guardado")
                 .arg(defaultCalendarFile()));
    return Calendar::load(defaultCalendarFile(), stored, false);
}

// `text`, worked out from `calendar`, after what its errors mean, first:
// --sync sends nothing while they last. Of a calendar that could not be
// read at all the days say nothing true.
int showDays(const Calendar& calendar, const QString& text) {
    // Asked after the days were worked out, which can find more.
    const std::vector<CalendarProblem> errors = calendar.errors();
    if (errors.empty()) {
        out(text.toUtf8());
        return kOk;
    }
    complain(
        QStringLiteral("%1 tiene %2 (horvex --check los muestra): --sync no envía nada y el "
                       "reloj sigue con lo que tiene")
            .arg(calendar.file(), counted(static_cast<qsizetype>(errors.size()),
                                          QStringLiteral("error"), QStringLiteral("errores"))));
    const bool unreadable =
        std::any_of(errors.begin(), errors.end(), [&](const CalendarProblem& p) {
            return p.file == calendar.file() && p.line == 0;
        });
    if (unreadable)
        complain(errors.front().toString());
    else
        out(text.toUtf8());
    return kFailed;
}

// Whether some day can fall to the stored schedule.
bool usesStored(const Calendar& calendar) {
    std::set<int> weekdays;
    for (const CalendarRule& rule : calendar.rules()) {
        if (rule.value.kind == DayValue::Kind::Guardado)
            return true;
        if (rule.kind == CalendarRule::Kind::Weekday)
            weekdays.insert(rule.weekday);
    }
    return weekdays.size() < 7;
}

// The stored schedule, when days use it and the clock could not take it.
std::optional<CalendarProblem> storedProblem(const ClockSchedule& stored) {
    try {
        frameAt(stored, QTime(0, 0));
        return std::nullopt;
    } catch (const Failure& f) {
        return CalendarProblem{
            RegStore().fileName(),
            0,
            QStringLiteral("el horario guardado no se puede enviar: %1").arg(f.description()),
            false,
            {}};
    }
}

// A PDF replaces only a PDF: a slip of the name (calendario.ini) must not
// cost the file it names.
void checkPdfTarget(const QString& file) {
    const QFileInfo info(file);
    if (info.isDir())
        throw Failure(
            QStringLiteral("%1 es una carpeta; dé el nombre del PDF (%1/plan.pdf)").arg(file));
    if (!info.exists())
        return;
    if (!readGuarded(file, kStoreLimit * 64).startsWith("%PDF-"))
        throw Failure(QStringLiteral("%1 ya existe y no es un PDF: no se escribe encima; elija "
                                     "otro nombre")
                          .arg(file));
}

} // namespace

int runDay(const Request& r) {
    const Calendar calendar = calendarFor(r);
    const int code = showDays(calendar, dayText(calendar, r.day));
    if (const std::optional<QString> copies = copiesLine(calendar))
        say(*copies);
    return code;
}

int runPlan(const Request& r) {
    const QDate today = QDate::currentDate();
    const MonthSpan span = r.plan.value_or(MonthSpan{QDate(today.year(), today.month(), 1), 1});
    if (!r.pdf.isEmpty() && r.pdf != QLatin1String("-"))
        checkPdfTarget(r.pdf);
    const Calendar calendar = calendarFor(r);
    if (!r.pdf.isEmpty()) {
        const QByteArray pdf = planPdf(calendar, span, today);
        if (r.pdf == QLatin1String("-")) {
            out(pdf);
            return kOk;
        }
        replaceFile(r.pdf, pdf);
        say(QStringLiteral("Plan de %1 guardado en %2 (%3)")
                .arg(span.title(), r.pdf,
                     span.count > kMonthsPerPage
                         ? QStringLiteral("%1 hojas A4")
                               .arg((span.count + kMonthsPerPage - 1) / kMonthsPerPage)
                         : QStringLiteral("una hoja A4")));
        return kOk;
    }
    return showDays(calendar, span.count == 1
                                  ? planText(calendar, span.first.year(), span.first.month(), today)
                                  : monthsText(calendar, span));
}

int runCheck(const Request& r) {
    const ClockSchedule stored = storedSchedule();
    const std::optional<Calendar> calendar = loadCalendar(r.calendar, stored, FetchWhen::Now);
    std::vector<CalendarProblem> problems;
    if (calendar)
        problems = calendar->check(QDate::currentDate());
    else
        say(QStringLiteral("No hay calendario (%1 no existe): todos los días usan el horario "
                           "guardado.")
                .arg(defaultCalendarFile()));
    if (!calendar || usesStored(*calendar))
        if (std::optional<CalendarProblem> p = storedProblem(stored))
            problems.push_back(*p);
    if (const std::optional<QString> unsynced = unsynchronisedPcClock())
        problems.push_back({{}, 0, *unsynced, true, {}});

    const qsizetype errors = std::count_if(problems.begin(), problems.end(),
                                           [](const CalendarProblem& p) { return !p.warning; });
    for (const CalendarProblem& p : problems)
        say(p.toString());
    if (const std::optional<QString> copies = calendar ? copiesLine(*calendar) : std::nullopt)
        say(*copies);
    const QString what = calendar ? calendar->file() : QStringLiteral("El horario guardado");
    const qsizetype warnings = static_cast<qsizetype>(problems.size()) - errors;
    const QString warned =
        warnings == 0 ? QString()
                      : QStringLiteral(" (%1)").arg(
                            counted(warnings, QStringLiteral("aviso"), QStringLiteral("avisos")));
    if (errors == 0) {
        say(QStringLiteral("%1: sin errores%2.").arg(what, warned));
        return kOk;
    }
    complain(QStringLiteral("%1: %2%3")
                 .arg(what, counted(errors, QStringLiteral("error"), QStringLiteral("errores")),
                      warned));
    return kFailed;
}

} // namespace horvex::cli

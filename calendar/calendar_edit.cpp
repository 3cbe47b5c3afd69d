#include "calendar/calendar_edit.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/readable_schedule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace horvex {

namespace {

// The [Fechas] rules as the calendar reads them: their keys as the text
// spells them, and their values without comments or quotes.
std::vector<CalendarRule> datedRules(const IniDocument& doc) {
    std::vector<CalendarRule> dated;
    for (CalendarRule& rule : parseCalendarRules(doc.serialize()).rules)
        if (rule.kind == CalendarRule::Kind::Date || rule.kind == CalendarRule::Kind::Range)
            dated.push_back(std::move(rule));
    return dated;
}

bool overlaps(const CalendarRule& rule, QDate first, QDate last) {
    return rule.first <= last && rule.last >= first;
}

bool inside(const CalendarRule& rule, QDate first, QDate last) {
    return rule.first >= first && rule.last <= last;
}

// The rule keeps only its days outside first..last.
void cutBack(IniDocument& doc, const CalendarRule& rule, QDate first, QDate last) {
    doc.remove(kFechasSection, rule.key);
    if (rule.first < first)
        doc.setValue(kFechasSection, datesKey(rule.first, first.addDays(-1)), rule.value.name());
    if (rule.last > last)
        doc.setValue(kFechasSection, datesKey(last.addDays(1), rule.last), rule.value.name());
}

} // namespace

void assignDates(IniDocument& doc, QDate first, QDate last, const DayValue& value) {
    const qint64 span = first.daysTo(last);
    QString key = datesKey(first, last);
    bool keyFound = false;
    for (const CalendarRule& rule : datedRules(doc)) {
        if (!overlaps(rule, first, last))
            continue;
        // The same days spelled as the file spells them keep their line.
        const bool same = rule.first == first && rule.last == last &&
                          (rule.kind == CalendarRule::Kind::Date) == (first == last);
        if (same && !keyFound) {
            key = rule.key;
            keyFound = true;
        } else if (inside(rule, first, last)) {
            doc.remove(kFechasSection, rule.key);
        } else if (rule.first.daysTo(rule.last) <= span) {
            cutBack(doc, rule, first, last); // shorter: it would still win
        }
    }
    doc.setValue(kFechasSection, key, value.name());
}

void removeDates(IniDocument& doc, QDate first, QDate last) {
    for (const CalendarRule& rule : datedRules(doc))
        if (overlaps(rule, first, last))
            cutBack(doc, rule, first, last);
}

void setWeekdayRule(IniDocument& doc, int weekday, const std::optional<DayValue>& value) {
    if (value)
        doc.setValue(kSemanaSection, weekdayKey(weekday), value->name());
    else
        doc.remove(kSemanaSection, weekdayKey(weekday));
}

void setIcsRule(IniDocument& doc, const QString& ics, const std::optional<DayValue>& value) {
    if (value)
        doc.setValue(kCalendariosSection, ics, value->name());
    else
        doc.remove(kCalendariosSection, ics);
}

QString nameInCalendar(const QString& calendarFile, const QString& path) {
    const QString relative = QDir(QFileInfo(calendarFile).absolutePath())
                                 .relativeFilePath(QFileInfo(path).absoluteFilePath());
    return relative.startsWith(QLatin1String("..")) ? QFileInfo(path).absoluteFilePath() : relative;
}

QByteArray saveCalendarText(const QString& file, const QByteArray& loaded,
                            const IniDocument& edited, MissingFolder missing) {
    return updateStoreFile(
               file,
               [&](IniDocument& doc) {
                   // Read afresh under the lock: nobody can slip in between.
                   if (doc.serialize() != loaded)
                       throw ChangedOnDisk(
                           QStringLiteral("%1 cambió en el disco desde que se abrió").arg(file));
                   doc = edited;
               },
               missing)
        .serialize();
}

void writeNewScheduleFile(const QString& file, const ScheduleTexts& texts) {
    // O_EXCL: a file that appears meanwhile is refused, never replaced.
    const QByteArray path = QFile::encodeName(file);
    const UniqueFd fd(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        throw Failure(errno == EEXIST
                          ? QStringLiteral("%1 ya existe; elija otro nombre").arg(file)
                          : QStringLiteral("no se puede crear %1: %2").arg(file, systemReason()));
    if (!writeAll(fd.get(), readableScheduleText(texts)) || ::fsync(fd.get()) != 0) {
        const QString why = systemReason();
        ::unlink(path.constData());
        throw Failure(QStringLiteral("no se puede escribir %1: %2").arg(file, why));
    }
}

QStringList scheduleFilesBeside(const QString& calendarFile) {
    const QFileInfo calendar(calendarFile);
    QStringList found;
    for (const QFileInfo& info :
         QDir(calendar.absolutePath())
             .entryInfoList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable, QDir::Name)) {
        if (info.absoluteFilePath() == calendar.absoluteFilePath())
            continue;
        try {
            if (holdsSchedule(readStoreFile(info.absoluteFilePath())))
                found << info.fileName();
        } catch (const Failure&) {
            // Not one a day could use anyway; the calendar names it if it is.
        }
    }
    return found;
}

} // namespace horvex

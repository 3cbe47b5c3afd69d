#include "calendar/calendar_edit.h"

#include "calendar/ics.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/readable_schedule.h"
#include "schedule/schedule_draft.h"

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
    return saveOverLoaded(file, loaded, edited.serialize(), missing);
}

QString newScheduleName(const QString& calendarFile, const QString& typed) {
    QString name = typed.trimmed();
    if (name.isEmpty())
        throw Failure(QStringLiteral("escriba un nombre para el horario, por ejemplo «viernes»"));
    if (name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        throw Failure(QStringLiteral("«%1» no sirve como nombre de archivo: sin «/» y sin punto "
                                     "al principio")
                          .arg(name));
    if (!name.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
        name += QStringLiteral(".ini");
    const QFileInfo calendar(calendarFile);
    const QDir folder = calendar.absoluteDir();
    // Names differing only in case are one file to people, and on some disks.
    for (const QString& there : folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System))
        if (there.compare(name, Qt::CaseInsensitive) == 0)
            throw Failure(QStringLiteral("ya hay un %1 en %2; elija otro nombre")
                              .arg(there, folder.absolutePath()));
    return name;
}

void writeNewScheduleFile(const QString& file, const QByteArray& text) {
    QFile out(file);
    // NewOnly: a file that appears meanwhile is refused, never replaced.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Taken at once: asking whether the file exists would overwrite it.
        const int error = errno;
        throw Failure(
            error == EEXIST
                ? QStringLiteral("%1 ya existe; elija otro nombre").arg(file)
                : QStringLiteral("no se puede crear %1: %2").arg(file, systemReason(error)));
    }
    if (out.write(text) != text.size() || !out.flush() || ::fsync(out.handle()) != 0) {
        const QString why = systemReason();
        out.remove();
        throw Failure(QStringLiteral("no se puede escribir %1: %2").arg(file, why));
    }
}

QString icsCopyTarget(const QString& calendarFile, const QString& source) {
    const QDir folder = QFileInfo(calendarFile).absoluteDir();
    if (!QFileInfo(nameInCalendar(calendarFile, source)).isAbsolute())
        return {};
    return folder.filePath(QFileInfo(source).fileName());
}

void copyIcs(const QString& source, const QString& target) {
    replaceFile(target, readExisting(source, kIcsLimit));
}

void renameValue(IniDocument& doc, const QString& from, const QString& to) {
    for (const QString& section : {kSemanaSection, kFechasSection, kCalendariosSection})
        for (const QString& key : doc.keys(section)) {
            QString value = doc.value(section, key)
                                .value_or(QString())
                                .section(QLatin1Char(';'), 0, 0)
                                .trimmed();
            if (value.size() > 1 && value.startsWith(QLatin1Char('"')) &&
                value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            if (value == from)
                doc.setValue(section, key, to);
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

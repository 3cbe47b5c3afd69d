#pragma once

#include "calendar/calendar.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace horvex {

// A problem of the calendar, of a file it names, or of the stored schedule,
// and whether it is an error or only a warning.
struct ListedProblem {
    CalendarProblem problem;
    bool error = false;

    // An error stops the timer; a conflict it settles by the rule written
    // later.
    bool stopsTimer() const { return error && !problem.isConflict(); }
};

// The calendar file as the calendar window edits it: read once, changed in
// memory, written only over the text it read. "guardado" is the stored
// schedule, read with it.
class CalendarDraft {
public:
    // `missing`: whether saving may make the file's folder.
    CalendarDraft(QString file, MissingFolder missing);

    // Reads the file again, and the stored schedule from `stored`; what was
    // not saved is dropped. A file that cannot be read leaves the draft empty,
    // and it is not saved (unreadable() says why).
    void reload(const std::function<ScheduleTexts()>& stored);
    // Changes the draft and works the calendar out again.
    void edit(const std::function<void(IniDocument&)>& change);
    // Puts back a text edited before (undo, redo): unsaved unless it is the
    // text read.
    void restore(const IniDocument& doc);
    // Works the calendar out again, as the files it names now are.
    void recalculate();
    // Reads the stored schedule again, keeping the edits.
    void rereadStored(const std::function<ScheduleTexts()>& stored);
    // Writes the draft over the text read. Throws ChangedOnDisk when the file
    // changed since, Failure when it cannot be written.
    void save();

    const QString& file() const { return file_; }
    // Whether saving may make the file's folder.
    MissingFolder missingFolder() const { return missing_; }
    const Calendar& calendar() const { return calendar_; }
    const IniDocument& document() const { return doc_; }
    // The file's text as last read or saved.
    const QByteArray& loaded() const { return loaded_; }
    bool unsaved() const { return unsaved_; }
    // Why the file could not be read; empty when it was.
    const QString& unreadable() const { return unreadable_; }
    // What could not be read, then the calendar's problems from `today`.
    std::vector<ListedProblem> problems(QDate today) const;

private:
    void readStored(const std::function<ScheduleTexts()>& stored);

    const QString file_;
    const MissingFolder missing_;
    QByteArray loaded_;    // the file's text as read
    QString unreadable_;   // why it could not be read; nothing is saved then
    IniDocument doc_;      // as edited
    ClockSchedule stored_; // what "guardado" sends
    QString storeProblem_; // why it could not be read
    Calendar calendar_;    // of doc_
    bool unsaved_ = false;
};

} // namespace horvex

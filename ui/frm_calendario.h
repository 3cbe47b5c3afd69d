#pragma once

#include "calendar/calendar.h"
#include "calendar/calendar_draft.h"
#include "calendar/fetch.h"
#include "calendar/plan.h"
#include "clocklink/operator.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"
#include "ui/calendar_look.h"
#include "ui/new_schedule_dialog.h"
#include "ui/schedule_editor.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <functional>

class QFileSystemWatcher;
class QLabel;
class QPrinter;
class QTimer;
class QUndoStack;

namespace horvex {

class DayPanel;
class IcsPanel;
class MonthGrid;
class MonthPanel;
class ProblemsPanel;

class WeekTable;
struct DayLook;

// "Calendario de timbres": the school calendar on a month grid, for the
// people who keep the bells. It edits the calendar file in memory and writes
// it only on "Guardar", and only over the text it read.
class FrmCalendario : public QWidget, public StatusLine {
    Q_OBJECT
public:
    // What the window asks of the rest of the program. The dialogs are here
    // so that tests can answer them.
    struct Services {
        // What "guardado" sends: the stored schedule.
        std::function<ScheduleTexts()> stored;
        // In words: how long what the clock holds stays right with the
        // calendar as saved ("Listo hasta …"), what it holds and since when.
        std::function<QString(const QString& calendarFile)> clockHolds;
        // In words: what the timer's next run would send and when, or that
        // the timer is not enabled. The timer reads the calendar file as it
        // is saved, not what this window holds.
        std::function<QString(const QString& calendarFile)> nextRun;
        // Sends the rolling day of the saved calendar now, telling its
        // progress and result on the status line.
        std::function<void(const QString& calendarFile, StatusLine&)> sendNow;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
        // Puts a schedule in the settings store ("guardado"); throws Failure.
        std::function<void(const ScheduleTexts&)> saveStored;
        // The settings file, watched for "guardado"; throws Failure.
        std::function<QString()> storeFile;
        // The folder "Añadir…" opens in: the user's downloads.
        std::function<QString()> downloads;
        // An .ics file to add, or nothing.
        std::function<QString(QWidget*, const QString& folder)> chooseIcs;
        // The name and start of a new schedule, or nothing; `check` gives
        // the file's name for a typed name or throws Failure saying why not.
        std::function<std::optional<NewSchedule>(
            QWidget*, const QStringList& files,
            const std::function<QString(const QString&)>& check)>
            askNewSchedule;
        // A yes-or-no question.
        std::function<bool(QWidget*, const QString& title, const QString& text)> ask;
        // The months to print, from those proposed, or nothing; then the
        // printer, set up by the person, or false.
        std::function<std::optional<MonthSpan>(QWidget*, const MonthSpan& proposed)> chooseMonths;
        std::function<bool(QWidget*, QPrinter&)> choosePrinter;
    };

    // `missing`: whether saving may make the file's folder (the settings
    // folder's calendar) or not (a file the user named).
    FrmCalendario(QString file, MissingFolder missing, Services services,
                  QWidget* parent = nullptr);
    ~FrmCalendario() override;

    // Reads the calendar file again; what was not saved is dropped.
    void reload();
    void save();
    void sendNow();
    // Gives the selected days the schedule chosen in the list, or "quitar".
    void assign();
    void addIcs();
    void removeIcs();
    void newSchedule();
    // "Imprimir…": the plan of the months chosen, as --plan --pdf draws it.
    void print();
    // Fetches the .ics the calendar names by address, without waiting; the
    // calendar is worked out again when they are in.
    void refreshCopies(FetchWhen when);
    // Opens a schedule in the editor: a file the calendar names, or
    // "guardado".
    void editSchedule(const QString& name);
    // The editor open, if any.
    ScheduleEditor* scheduleEditor() const { return editor_; }

    // StatusLine: the status line under the problems.
    void setPanelText(int panel, const QString& text) override;

    const Calendar& calendar() const { return draft_.calendar(); }
    bool unsaved() const { return draft_.unsaved(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void setUpFetch();
    QWidget* buildButtons();
    void buildUndo();

    class Edit;
    void edit(const std::function<void(IniDocument&)>& change, const QString& what);
    void restore(const IniDocument& doc);
    void saveSchedule();
    void renameSchedule(const QString& from, const QString& to, const QByteArray& text);
    void setUpWatcher();
    void watchFiles();
    // The calendar's folder, made if it may be. Throws Failure.
    QString folderForFiles() const;
    void readChangedFiles();
    // Reads the schedule open again; whether it held something new.
    bool readScheduleAgain();
    QString storeFile() const;
    void showCalendar();
    void fillValueLists();
    void showDay();
    void showTopLine();
    void goToProblem(const CalendarProblem& p);
    void say(const QString& text, bool bad = false);
    bool ask(const QString& title, const QString& text);
    DayLook lookOf(QDate day) const;

    const QString file_;
    Services services_;
    CalendarDraft draft_;
    ScheduleColours colours_;

    QLabel* top_ = nullptr;
    MonthPanel* month_ = nullptr;
    MonthGrid* grid_ = nullptr; // the month's
    DayPanel* day_ = nullptr;
    WeekTable* week_ = nullptr;
    IcsPanel* ics_ = nullptr;
    ProblemsPanel* problems_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* minute_ = nullptr;
    CalendarFetch* fetch_ = nullptr;
    QUndoStack* undo_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* changed_ = nullptr; // gathers the changes of one save by an editor
    QStringList changedPaths_;
    QPointer<ScheduleEditor> editor_;
    QString editorFile_;      // the schedule file open; empty for "guardado"
    QByteArray editorLoaded_; // its text as read (of "guardado", as a file would hold it)
};

} // namespace horvex

#pragma once

#include "calendar/calendar.h"
#include "calendar/calendar_draft.h"
#include "calendar/fetch.h"
#include "clocklink/operator.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"
#include "ui/calendar_look.h"

#include <QDateTime>
#include <QWidget>
#include <functional>

class QLabel;
class QTimer;

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
        // In words: what the clock holds now and since when.
        std::function<QString()> clockHolds;
        // In words: what the timer's next run would send and when, or that
        // the timer is not enabled. The timer reads the calendar file as it
        // is saved, not what this window holds.
        std::function<QString(const QString& calendarFile)> nextRun;
        // Sends the rolling day of the saved calendar now, telling its
        // progress and result on the status line.
        std::function<void(const QString& calendarFile, StatusLine&)> sendNow;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
        // An .ics file to add, or nothing; a file name for a new schedule
        // file, or nothing.
        std::function<QString(QWidget*, const QString& folder)> chooseIcs;
        std::function<QString(QWidget*, const QString& folder)> chooseNewSchedule;
        // A yes-or-no question.
        std::function<bool(QWidget*, const QString& title, const QString& text)> ask;
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
    // Fetches the .ics the calendar names by address, without waiting; the
    // calendar is worked out again when they are in.
    void refreshCopies(FetchWhen when);

    // StatusLine: the status line under the problems.
    void setPanelText(int panel, const QString& text) override;

    const Calendar& calendar() const { return draft_.calendar(); }
    bool unsaved() const { return draft_.unsaved(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* buildButtons();

    void edit(const std::function<void(IniDocument&)>& change);
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
};

} // namespace horvex

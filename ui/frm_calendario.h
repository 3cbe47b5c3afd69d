#pragma once

#include "calendar/calendar.h"
#include "clocklink/operator.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

#include <QDateTime>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace horvex {

class MonthGrid;
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

    // StatusLine: the status line under the problems.
    void setPanelText(int panel, const QString& text) override;

    const Calendar& calendar() const { return calendar_; }
    bool unsaved() const { return unsaved_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Problem {
        CalendarProblem problem;
        bool error = false;
        // An error stops the timer; a conflict it settles by the rule
        // written later.
        bool stopsTimer() const { return error && !problem.isConflict(); }
    };

    void build();
    QWidget* buildMonth();
    QWidget* buildDay();
    QWidget* buildWeek();
    QWidget* buildIcs();
    QWidget* buildProblems();
    QWidget* buildButtons();

    void edit(const std::function<void(IniDocument&)>& change);
    void recalculate();
    void readStored();
    void fillValueLists();
    void showWeek();
    void showIcs();
    void showDay();
    void showProblems();
    void showTopLine();
    void showLegend();
    void showMonthTitle();
    void goToProblem(int row);
    bool hasErrors() const;
    void say(const QString& text, bool bad = false);
    bool ask(const QString& title, const QString& text);
    DayLook lookOf(QDate day) const;
    QColor colourOf(const DayValue& value) const;
    std::optional<DayValue> chosen(const QComboBox& list) const;

    const QString file_;
    const MissingFolder missing_;
    Services services_;
    QByteArray loaded_;       // the file's text as read
    QString unreadable_;      // why it could not be read; nothing is saved then
    IniDocument doc_;         // as edited
    ClockSchedule stored_;    // what "guardado" sends
    QString storeProblem_;    // why it could not be read
    Calendar calendar_;       // of doc_
    QStringList colourOrder_; // schedules by name, in order of first use
    std::vector<Problem> problems_;
    bool unsaved_ = false;

    MonthGrid* grid_ = nullptr;
    QLabel* top_ = nullptr;
    QLabel* monthTitle_ = nullptr;
    QLabel* legend_ = nullptr;
    QLabel* dayTitle_ = nullptr;
    QLabel* dayRule_ = nullptr;
    QListWidget* bells_ = nullptr;
    QComboBox* value_ = nullptr;
    std::array<QComboBox*, 7> week_{};
    QListWidget* icsList_ = nullptr;
    QComboBox* icsValue_ = nullptr;
    QLabel* errorsBanner_ = nullptr;
    QListWidget* problemList_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* minute_ = nullptr;
};

} // namespace horvex

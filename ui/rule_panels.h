#pragma once

// The panels beside the month that give days their schedule: the chosen
// days (their dates), the weekdays and the .ics calendars.

#include "calendar/calendar.h"

#include <QComboBox>
#include <QGroupBox>
#include <array>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;

namespace horvex {

// A list of what days can be given: the schedule files, "silencio" and
// "guardado", each entry's data its name.
class ScheduleList : public QComboBox {
public:
    ScheduleList(const QString& spoken, QWidget* parent);

    // Offers `files` and the two fixed values, after `first` and before
    // `last` when they are given, two entries that give nothing. The entry
    // chosen stays chosen; a list filled for the first time chooses
    // `fallback`.
    void offer(const QStringList& files, const QString& first, const QString& last,
               const QString& fallback = {});
    // What the chosen entry gives; nothing for "(sin regla)" or "quitar".
    std::optional<DayValue> chosen() const;
};

// "Día": the days chosen on the grid and, of the one in view, its schedule,
// its rule with any conflict, and its bells; the list and the buttons that
// give the chosen days a schedule.
class DayPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit DayPanel(QWidget* parent);

    // The days `first` to `last` are chosen; `current` is in view, `choice`
    // is its schedule.
    void showDays(QDate first, QDate last, QDate current, const DayChoice& choice);
    ScheduleList& value() { return *value_; }

signals:
    void assignRequested();
    void newScheduleRequested();
    void editRequested();

protected:
    // Enter in the schedule list assigns, as Enter on the month does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* title_ = nullptr;
    QLabel* rule_ = nullptr;
    QListWidget* bells_ = nullptr;
    ScheduleList* value_ = nullptr;
};

// "Semana": the rule of each weekday, or none.
class WeekTable : public QGroupBox {
    Q_OBJECT
public:
    explicit WeekTable(QWidget* parent);

    void offer(const QStringList& files);
    // Each weekday as `rules` give it; the rule written last decides.
    void showRules(const std::vector<CalendarRule>& rules);
    // `weekday`: 1 Monday to 7 Sunday.
    std::optional<DayValue> chosen(int weekday) const;
    void focusDay(int weekday);

signals:
    // The operator chose a rule for `weekday`.
    void ruleChosen(int weekday);

private:
    ScheduleList& day(int weekday) const;

    std::array<ScheduleList*, 7> days_{};
};

// "Calendarios .ics": the .ics calendars and what their days are given.
class IcsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit IcsPanel(QWidget* parent);

    void offer(const QStringList& files);
    void showRules(const std::vector<CalendarRule>& rules);
    // The .ics chosen in the list, as the calendar names it; empty for none.
    QString currentKey() const;
    void focusCalendar(const QString& key);
    // The age of the copies the .ics by address were read from; nothing
    // hides the line.
    void showCopies(const QString& text);
    // What the days of an .ics are given.
    ScheduleList& value() { return *value_; }

signals:
    void addRequested();
    void removeRequested();
    // "Actualizar": fetch the .ics by address now.
    void refreshRequested();
    // The operator chose what the days of `key` are given.
    void valueChosen(const QString& key);

private:
    QListWidget* list_ = nullptr;
    QLabel* copies_ = nullptr;
    ScheduleList* value_ = nullptr;
};

} // namespace horvex
